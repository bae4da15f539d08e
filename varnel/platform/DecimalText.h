#pragma once

#include <string>
#include <string_view>

namespace Quorvex::VarnelNet {

// The one reader and writer of the numbers people type and read, the same on every standard
// library. Text is a whole decimal number with an optional sign, fraction and exponent ("440",
// "-6", "+2.5", "1776.7", "8e3", "2.5E-1"): no spaces, no "inf" or "nan", no hexadecimal.

enum class DecimalRead {
    Number,      // the value is set
    NotANumber,  // the text is not such a number; the value is unchanged
    OutOfRange,  // too large for the type (or, for a double, too close to zero); unchanged
};

// The double nearest the text, whatever the C library's locale.
DecimalRead ReadDecimal(std::string_view text, double& value);
// The float nearest the text itself (not the float nearest its double); one too close to zero
// for a float reads as 0.
DecimalRead ReadDecimal(std::string_view text, float& value);

// The shortest text that reads back as value, fixed or scientific, whichever is shorter
// (fixed when equal): "0.1", "1776.7", "1e+20", "1e-05". value must be finite. It takes
// std::to_chars where the library has it for floating point, and the C library's correctly
// rounded printf where it has not (libc++ before 20, such as Emscripten 3.1's, whose C library
// knows no decimal point but '.').
std::string ShortestText(double value);
std::string ShortestText(float value);

}  // namespace Quorvex::VarnelNet
