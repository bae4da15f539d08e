#include "cli/Numbers.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "cli/UsageError.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

// from_chars takes no '+'; a '+' directly before the digits is allowed here.
std::string_view WithoutPlus(std::string_view text) {
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') text.remove_prefix(1);
    return text;
}

[[noreturn]] void Refuse(std::string_view text, std::string_view what, std::string_view expected) {
    throw UsageError(std::string(what) + ": '" + std::string(text) + "' is not " + std::string(expected));
}

}  // namespace

std::int32_t ParseInt32(std::string_view text, std::string_view what) {
    const std::string_view digits = WithoutPlus(text);
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 10);
    if (digits.empty() || ec == std::errc::result_out_of_range) {
        Refuse(text, what, "an integer from -2147483648 to 2147483647");
    }
    if (ec != std::errc() || end != digits.data() + digits.size()) Refuse(text, what, "an integer");
    return value;
}

float ParseFloat(std::string_view text, std::string_view what) {
    const std::string_view digits = WithoutPlus(text);
    float value = 0.0f;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                           std::chars_format::fixed);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value)) {
        Refuse(text, what, "a number");
    }
    return value;
}

}  // namespace Quorvex::VarnelNet::Cli
