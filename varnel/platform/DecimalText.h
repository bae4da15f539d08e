#pragma once

#include <string>
#include <string_view>

namespace Quorvex::VarnelNet {

// The one reader and writer of the numbers people type: a whole text that is a decimal number
// with an optional sign, fraction and exponent ("440", "-6", "+2.5", "1776.7", "8e3",
// "2.5E-1"). No spaces, no "inf" or "nan", no hexadecimal.

enum class DecimalRead {
    Number,      // the value is set
    NotANumber,  // the text is not such a number; the value is unchanged
    OutOfRange,  // too large for the type (or, for a double, too close to zero); unchanged
};

// The double nearest the text.
DecimalRead ReadDecimal(std::string_view text, double& value);
// The float nearest the text itself (not the float nearest its double); one too close to zero
// for a float reads as 0.
DecimalRead ReadDecimal(std::string_view text, float& value);

// The shortest decimal text that reads back as exactly the value: "440", "1776.7", "-6",
// "0.1", "1e+30". Finite values only.
std::string ShortestDecimal(double value);
std::string ShortestDecimal(float value);

}  // namespace Quorvex::VarnelNet
