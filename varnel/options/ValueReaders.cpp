#include "varnel/options/ValueReaders.h"

#include <algorithm>
#include <ctime>
#include <string>

#include "varnel/options/Refusal.h"
#include "varnel/platform/DecimalText.h"

namespace Quorvex::VarnelNet::Option {

namespace {

constexpr std::uint64_t kLastSecond = 0xFFFFFFFFULL;  // pcap time stamps hold 32-bit seconds
constexpr std::size_t kSecondDigits = 10;
constexpr std::size_t kFractionDigits = 6;

// Microseconds of a fraction of a second written after the point, up to six digits.
std::optional<std::uint64_t> ReadFraction(std::string_view digits) {
    if (digits.empty() || digits.size() > kFractionDigits) return std::nullopt;
    std::optional<std::uint64_t> value = ReadWhole(digits);
    if (!value) return std::nullopt;
    for (std::size_t i = digits.size(); i < kFractionDigits; ++i) *value *= 10;
    return value;
}

std::optional<std::uint64_t> ReadUtcTime(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS[.f]Z
    if (text.size() < 20 || text.back() != 'Z' || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':') {
        return std::nullopt;
    }
    const auto year = ReadWhole(text.substr(0, 4), 1970), month = ReadWhole(text.substr(5, 2), 1, 12),
               day = ReadWhole(text.substr(8, 2), 1, 31), hour = ReadWhole(text.substr(11, 2), 0, 23),
               minute = ReadWhole(text.substr(14, 2), 0, 59), second = ReadWhole(text.substr(17, 2), 0, 59);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    std::uint64_t micro = 0;
    const std::string_view rest = text.substr(19, text.size() - 20);
    if (!rest.empty()) {
        const std::optional<std::uint64_t> fraction = rest.front() == '.' ? ReadFraction(rest.substr(1)) : std::nullopt;
        if (!fraction) return std::nullopt;
        micro = *fraction;
    }
    std::tm tm{};
    tm.tm_year = static_cast<int>(*year) - 1900;
    tm.tm_mon = static_cast<int>(*month) - 1;
    tm.tm_mday = static_cast<int>(*day);
    tm.tm_hour = static_cast<int>(*hour);
    tm.tm_min = static_cast<int>(*minute);
    tm.tm_sec = static_cast<int>(*second);
    const std::time_t seconds = ::timegm(&tm);
    if (seconds < 0 || tm.tm_mday != static_cast<int>(*day)) return std::nullopt;  // 02-30 rolls over into March
    return static_cast<std::uint64_t>(seconds) * 1000000 + micro;
}

std::optional<std::uint64_t> ReadEpochSeconds(std::string_view text) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::optional<std::uint64_t> seconds = whole.size() <= kSecondDigits ? ReadWhole(whole, 0, kLastSecond) : std::nullopt;
    if (!seconds) return std::nullopt;
    std::uint64_t micro = 0;
    if (point != std::string_view::npos) {
        const std::optional<std::uint64_t> fraction = ReadFraction(text.substr(point + 1));
        if (!fraction) return std::nullopt;
        micro = *fraction;
    }
    return *seconds * 1000000 + micro;
}

}  // namespace

std::optional<std::uint64_t> ReadWhole(std::string_view text, std::uint64_t lowest, std::uint64_t highest) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (value < lowest || value > highest) return std::nullopt;
    return value;
}

std::optional<double> ReadNumber(std::string_view text, double lowest, double highest) {
    double number = 0.0;
    if (ReadDecimal(text, number) != DecimalRead::Number || !(number >= lowest && number <= highest)) return std::nullopt;
    return number;
}

std::optional<std::size_t> ReadKeyword(std::string_view text, std::span<const std::string_view> words) {
    const auto found = std::find(words.begin(), words.end(), text);
    if (found == words.end()) return std::nullopt;
    return static_cast<std::size_t>(found - words.begin());
}

std::optional<bool> ReadFlag(std::string_view text) {
    if (text == "1") return true;
    if (text == "0") return false;
    return std::nullopt;
}

std::optional<std::uint64_t> ReadTime(std::string_view text) {
    const std::optional<std::uint64_t> micro = text.find('T') != std::string_view::npos ? ReadUtcTime(text) : ReadEpochSeconds(text);
    if (!micro || *micro / 1000000 > kLastSecond) return std::nullopt;
    return micro;
}

Share ReadShare(std::string_view option, std::string_view text, std::uint64_t most) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) Refuse(option, text, "is not I/N");
    const std::string_view count = text.substr(slash + 1), index = text.substr(0, slash);
    const std::optional<std::uint64_t> n = ReadWhole(count, 1, most);
    if (!n) Refuse(std::string(option) + " N", count, "is not " + WholeRange(1, most));
    const std::optional<std::uint64_t> i = ReadWhole(index, 1, *n);
    if (!i) Refuse(std::string(option) + " I", index, "is not " + WholeRange(1, *n));
    return Share{*i, *n};
}

std::string WholeRange(std::uint64_t lowest, std::uint64_t highest) {
    return "a whole number from " + std::to_string(lowest) + " to " + std::to_string(highest);
}

}  // namespace Quorvex::VarnelNet::Option
