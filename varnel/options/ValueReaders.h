#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>

namespace Quorvex::VarnelNet::Option {

// The one reader of each kind of value an option takes. Each gives the value, or nothing when
// the text is not one; the caller refuses it in the option's terms (Option::Refuse).

// Decimal digits alone (no sign, no spaces, no exponent) making a number from lowest to
// highest; overflow is checked, so every 64-bit value reads and none wraps.
std::optional<std::uint64_t> ReadWhole(std::string_view text, std::uint64_t lowest = 0,
                                       std::uint64_t highest = std::numeric_limits<std::uint64_t>::max());

// A decimal number as DecimalText reads it ("-6", "2.5", "8e3") from lowest to highest.
std::optional<double> ReadNumber(std::string_view text, double lowest, double highest);

// The position of the text among the words, compared exactly.
std::optional<std::size_t> ReadKeyword(std::string_view text, std::span<const std::string_view> words);

// A flag's value: "1" or "0".
std::optional<bool> ReadFlag(std::string_view text);

// A time from 1970 to 2106 in microseconds since 1970: "2024-05-01T12:00:00Z" (UTC, up to six
// digits of a second after a point) or seconds since 1970 ("1714564800", "1714564800.25").
std::optional<std::uint64_t> ReadTime(std::string_view text);

// Share I of N ("I/N", as --shard gives it), 1 <= I <= N <= most. Refused with OptionRefused:
// without a '/' naming the option, a count out of range naming "OPTION N", an index out of 1 to
// N naming "OPTION I".
struct Share {
    std::uint64_t index = 1;
    std::uint64_t count = 1;
};
Share ReadShare(std::string_view option, std::string_view text, std::uint64_t most);

// "a whole number from 1 to 10": the reason a reader's range gives.
std::string WholeRange(std::uint64_t lowest, std::uint64_t highest);

}  // namespace Quorvex::VarnelNet::Option
