#include "varnel/platform/DecimalText.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>
#include <type_traits>

namespace Quorvex::VarnelNet {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether the whole text is [+-]digits[.digits][(e|E)[+-]digits], with digits on at least one
// side of the point.
bool IsDecimal(std::string_view text) {
    std::size_t at = 0;
    const auto digits = [&] {
        const std::size_t start = at;
        while (at < text.size() && IsDigit(text[at])) ++at;
        return at - start;
    };
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    std::size_t mantissa = digits();
    if (at < text.size() && text[at] == '.') {
        ++at;
        mantissa += digits();
    }
    if (mantissa == 0) return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        if (digits() == 0) return false;
    }
    return at == text.size();
}

// The text with the C library's decimal point of the current locale, so that strtod reads
// "1.5" the same whatever locale a host program has set.
std::string InLocale(std::string_view text) {
    std::string copy(text);
    const char point = *std::localeconv()->decimal_point;
    for (char& c : copy) {
        if (c == '.') c = point;
    }
    return copy;
}

template <class T>
DecimalRead Read(std::string_view text, T& value, T (*convert)(const char*, char**)) {
    if (!IsDecimal(text)) return DecimalRead::NotANumber;
    const std::string local = InLocale(text);
    errno = 0;
    const T read = convert(local.c_str(), nullptr);
    if (errno == ERANGE) return DecimalRead::OutOfRange;
    value = read;
    return DecimalRead::Number;
}

}  // namespace

DecimalRead ReadDecimal(std::string_view text, double& value) { return Read<double>(text, value, std::strtod); }

DecimalRead ReadDecimal(std::string_view text, float& value) {
    double wide = 0.0;
    if (const DecimalRead read = Read<double>(text, wide, std::strtod); read != DecimalRead::Number) return read;
    float narrow = 0.0f;
    const DecimalRead read = Read<float>(text, narrow, std::strtof);
    // A float too close to zero reads as 0; one too large is out of range.
    if (read == DecimalRead::OutOfRange) {
        if (wide <= -1.0 || wide >= 1.0) return read;
        narrow = 0.0f;
    }
    value = narrow;
    return DecimalRead::Number;
}

#if defined(__cpp_lib_to_chars)

namespace {

template <class F>
std::string Shortest(F value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace

#else

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
