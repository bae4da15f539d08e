#pragma once

#include <cstdint>
#include <string_view>

namespace Quorvex::VarnelNet::Cli {

// Strict readers for the numbers of the command line: the whole text must be the number
// (no space, no trailing characters), in decimal, with an optional sign and exponent ("1e3",
// "2.5E-1"). On failure they throw UsageError naming `what`.

// A base-10 integer that fits in 32 bits, possibly written with a fraction or an exponent
// that make it whole ("8e3", "1.5e3").
std::int32_t ParseInt32(std::string_view text, std::string_view what);

// The largest magnitude ParseFloat takes: every integer up to it is exact as a float.
inline constexpr double kLargestFloat = 16777216.0;

// A finite number from -kLargestFloat to kLargestFloat (e.g. "-6", "440", "12.5", "1e3"),
// rounded to the nearest float.
float ParseFloat(std::string_view text, std::string_view what);

}  // namespace Quorvex::VarnelNet::Cli
