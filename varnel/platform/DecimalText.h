#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Quorvex::VarnelNet {

// Decimal text and binary floating point, correctly rounded both ways, on every standard
// library: std::from_chars and std::to_chars where the library has them for floating point,
// and the C library's correctly rounded strtod, strtof and printf where it has not (libc++
// before 20, such as Emscripten 3.1's, whose C library knows no decimal point but '.').

// The double nearest to digits, which must be decimal digits with an optional fraction ("425",
// "1776.7"); nullopt when that is past the largest double or too close to zero to be one.
std::optional<double> ReadFixedDecimal(std::string_view digits);

// The shortest text that reads back as value, fixed or scientific, whichever is shorter
// (fixed when equal): "0.1", "1e+20", "1e-05". value must be finite.
std::string ShortestText(double value);
std::string ShortestText(float value);

}  // namespace Quorvex::VarnelNet
