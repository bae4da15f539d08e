#pragma once

#include <cstddef>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Quorvex::VarnelNet::Kit {

// The fields a --pattern may name, Python's way ((?P<number>\d+)): what a Caller-ID receiver
// decodes (number, name, date, time, reason for an absent number or name, type of the
// message), a key, and the start and end of what it reports in seconds.
inline constexpr std::string_view kFieldNames[] = {"key", "number", "name", "date", "time", "reason", "type", "start", "end"};

// A --pattern compiled: std::regex has no named groups, so each (?P<NAME> becomes a numbered
// group, and the names are kept with their numbers.
struct FieldPattern {
    std::regex regex;
    std::vector<std::pair<std::string, std::size_t>> groups;  // name, group number

    // The group of that name, or none.
    std::optional<std::size_t> Group(std::string_view name) const;
    bool Named() const { return !groups.empty(); }
};

// Throws std::invalid_argument saying why the pattern is refused: a name not of kFieldNames, a
// name given twice, a (?P< without its >, or what CompilePattern refuses.
FieldPattern CompileFieldPattern(std::string_view text);

}  // namespace Quorvex::VarnelNet::Kit
