#pragma once

#include <cstdint>
#include <string_view>

namespace Quorvex::VarnelNet::Cli {

// Strict readers for the numbers of the command line: the whole text must be the number
// (no space, no trailing characters). On failure they throw UsageError naming `what`.

// A base-10 integer that fits in 32 bits; a leading '-' or '+' is accepted.
std::int32_t ParseInt32(std::string_view text, std::string_view what);

// A finite decimal number (e.g. "-6", "440", "12.5") that fits in a float.
float ParseFloat(std::string_view text, std::string_view what);

}  // namespace Quorvex::VarnelNet::Cli
