#include "varnel/platform/DecimalText.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>
#include <type_traits>

namespace Quorvex::VarnelNet {

#if defined(__cpp_lib_to_chars)

std::optional<double> ReadFixedDecimal(std::string_view digits) {
    double value = 0.0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

namespace {

template <class F>
std::string Shortest(F value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace

#else

std::optional<double> ReadFixedDecimal(std::string_view digits) {
    const std::string text(digits);
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return std::nullopt;
    if (errno == ERANGE && (value == 0.0 || value > std::numeric_limits<double>::max())) return std::nullopt;
    return value;
}

namespace {

template <class F>
F ReadBack(const char* text) {
    if constexpr (std::is_same_v<F, float>) {
        return std::strtof(text, nullptr);
    } else {
        return std::strtod(text, nullptr);
    }
}

// printf rounds correctly, so the first precision whose scientific form reads back gives the
// shortest digits; the fixed form with as many significant digits competes with it.
template <class F>
std::string Shortest(F value) {
    char scientific[64];
    int precision = 0;
    for (; precision < std::numeric_limits<F>::max_digits10; ++precision) {
        std::snprintf(scientific, sizeof scientific, "%.*e", precision, static_cast<double>(value));
        if (ReadBack<F>(scientific) == value) break;
    }
    const char* const e = std::strchr(scientific, 'e');
    const int exponent = std::atoi(e + 1);
    char fixed[400];
    const int fraction = precision - exponent > 0 ? precision - exponent : 0;
    std::snprintf(fixed, sizeof fixed, "%.*f", fraction, static_cast<double>(value));
    const std::string fixedText(fixed);
    const std::string scientificText(scientific);
    return fixedText.size() <= scientificText.size() ? fixedText : scientificText;
}

}  // namespace

#endif

std::string ShortestText(double value) { return Shortest(value); }
std::string ShortestText(float value) { return Shortest(value); }

}  // namespace Quorvex::VarnelNet
