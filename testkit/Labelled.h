#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "testkit/Suite.h"

namespace Quorvex::VarnelNet::Kit {

// A key of a file's labels, in seconds: from the start of its first sample to the end of its last.
struct LabelledKey {
    std::string key;
    double start = 0.0, end = 0.0;
};

// What a file carries, as the labels written beside it (NAME.jsonl) say.
struct Labelled {
    std::vector<LabelledKey> keys;  // the DTMF keys of the script, not of its mix
    Pairs fields;                   // a message's fields in the pattern's names: number, name, date, reason, type
};

// The labels' text read at `rate` samples a second; lines that are not labels are passed over.
Labelled ReadLabels(std::string_view jsonl, double rate);

// A WAV file's sample rate and length in seconds from its header, or none when it has no fmt
// and data chunks in its first 4 KiB.
struct WaveLength {
    double rate = 0.0;
    double seconds = 0.0;
};
std::optional<WaveLength> ReadWaveLength(const std::string& path);

// The value a field of a message is compared with: the labels' date "MMDDHHMM" is the date
// "MMDD" alone when the pattern reads the time apart ("HHMM").
std::optional<std::string> ExpectedField(const Labelled& labelled, std::string_view field, bool timeApart);
// Whether a reported field is the expected one: digits alone for a number, date or time, the
// text without surrounding blanks for the others.
bool SameField(std::string_view field, std::string_view expected, std::string_view reported);

}  // namespace Quorvex::VarnelNet::Kit
