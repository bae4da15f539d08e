#include "varnel/platform/DecimalText.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>

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

// The text with the decimal point of the C library's current locale turned back into '.'.
std::string WithPoint(const char* text) {
    const char point = *std::localeconv()->decimal_point;
    std::string copy(text);
    for (char& c : copy) {
        if (c == point) c = '.';
    }
    return copy;
}

// The fewest significant digits (1 to maxDigits) that read back as exactly the value, written
// without an exponent when the value is neither tiny nor huge.
template <class T>
std::string Shortest(T value, int maxDigits) {
    int digits = 1;
    std::string scientific;
    for (; digits <= maxDigits; ++digits) {
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, static_cast<double>(value));
        scientific = WithPoint(buffer);
        T back{};
        if (ReadDecimal(scientific, back) == DecimalRead::Number && back == value) break;
    }
    const int exponent = std::atoi(scientific.c_str() + scientific.find('e') + 1);
    if (exponent < -5 || exponent > 16) return scientific;
    char fixed[64];
    std::snprintf(fixed, sizeof fixed, "%.*f", std::max(0, digits - 1 - exponent), static_cast<double>(value));
    return WithPoint(fixed);
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

std::string ShortestDecimal(double value) { return Shortest(value, 17); }
std::string ShortestDecimal(float value) { return Shortest(value, 9); }

}  // namespace Quorvex::VarnelNet
