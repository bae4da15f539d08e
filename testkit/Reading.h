#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "testkit/FieldPattern.h"
#include "testkit/Score.h"

namespace Quorvex::VarnelNet::Kit {

// A key a receiver reported, with its start and end in seconds where it printed them.
struct ReportedKey {
    std::string key;
    std::optional<double> start, end;
};

// Everything read from what a receiver printed for a file.
struct Reading {
    std::string detected;             // as Detected() reads it; with named groups, the keys (or the numbers) joined
    Pairs fields;                     // the first value of each named field but key, start and end
    std::vector<ReportedKey> keys;    // the keys with their times
};

// Without a pattern: Detected()'s keys, each timeline line ("KEY START END") a key with its
// times. With a pattern without names: Detected()'s text, no keys. With named groups: each match
// of a key group a key (its start and end groups its times), the matches of a number group the
// detected text when there is no key group, and each other field its first match.
Reading ReadOutput(std::string_view output, const std::optional<FieldPattern>& pattern, const KeyMap& keyMap);

}  // namespace Quorvex::VarnelNet::Kit
