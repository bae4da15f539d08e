#include "cli/Numbers.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "cli/Text.h"
#include "cli/UsageError.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

// from_chars takes no '+'; a '+' directly before the digits is allowed here.
std::string_view WithoutPlus(std::string_view text) {
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') text.remove_prefix(1);
    return text;
}

[[noreturn]] void Refuse(std::string_view text, std::string_view what, std::string_view expected) {
    throw UsageError(std::string(what) + ": '" + Printable(text) + "' is not " + std::string(expected));
}

// Reads the whole text as a decimal number; false for anything else. outOfRange: the number
// is too large (or, for a double, too close to zero) for T; value is then unchanged.
template <class T>
bool ReadNumber(std::string_view text, T& value, bool& outOfRange) {
    const std::string_view digits = WithoutPlus(text);
    // Only decimal digits, '.', signs and exponents: no "inf", "nan" or hexadecimal.
    if (digits.empty() || digits.find_first_not_of("0123456789.+-eE") != std::string_view::npos) return false;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                           std::chars_format::general);
    if (end != digits.data() + digits.size()) return false;
    outOfRange = ec == std::errc::result_out_of_range;
    return ec == std::errc() || outOfRange;
}

}  // namespace

std::int32_t ParseInt32(std::string_view text, std::string_view what) {
    constexpr std::string_view kRange = "an integer from -2147483648 to 2147483647";
    double value = 0.0;
    bool outOfRange = false;
    if (!ReadNumber(text, value, outOfRange)) Refuse(text, what, "an integer");
    if (outOfRange || value < -2147483648.0 || value > 2147483647.0) Refuse(text, what, kRange);
    if (value != std::trunc(value)) Refuse(text, what, "an integer");
    return static_cast<std::int32_t>(value);
}

float ParseFloat(std::string_view text, std::string_view what) {
    constexpr std::string_view kRange = "a number from -16777216 to 16777216";
    double wide = 0.0;
    bool outOfRange = false;
    if (!ReadNumber(text, wide, outOfRange)) Refuse(text, what, "a number");
    if (outOfRange || std::fabs(wide) > kLargestFloat) Refuse(text, what, kRange);
    // The float nearest the text itself, not the float nearest its double; one too close to
    // zero for a float is 0.
    float value = 0.0f;
    ReadNumber(text, value, outOfRange);
    return value;
}

}  // namespace Quorvex::VarnelNet::Cli
