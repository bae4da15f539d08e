#pragma once

#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "testkit/Manifest.h"

namespace Quorvex::VarnelNet::Kit {

// A --pattern as an ECMAScript regular expression. Throws std::invalid_argument saying why it is
// refused: one that does not compile, one longer than 256 characters (the library's compiler
// recurses per group), or one with a number of more than six digits (the library's compiler
// reads repeat counts and back-references without checking them for overflow).
std::regex CompilePattern(std::string_view text);

// Symbols a receiver prints for keys, each with the key it stands for ("10" for "*").
using KeyMap = std::vector<std::pair<std::string, std::string>>;

// A --key-map: FROM=TO pairs separated by commas, each FROM once. Throws std::invalid_argument
// saying why it is refused.
KeyMap ReadKeyMap(std::string_view text);

// What a receiver printed for a file, read: every match of the pattern in each line (the first
// 1024 characters of it; its first group when it has one) joined; without a pattern, the keypad
// characters 0-9 A-D * # of the output, but of a timeline line ("KEY START END ...", the times in
// seconds, as `varnel detect` prints) its key alone, and none of the lines of its other signals
// ("CID ...", "TONE ...", "TTY ..."). A match (without a pattern, a character) that is a FROM
// of the key map counts as its TO.
std::string Detected(std::string_view output, const std::optional<std::regex>& pattern, const KeyMap& keyMap = {});

// Whether the line is one `varnel detect` prints of a key ("KEY START END ...") or of another
// signal than text ("TONE ...", "CID ...", "MF ..."; TTY and RTT lines included).
bool IsKeyOrSignalLine(std::string_view line);

// Whether what was detected meets the row's verdict: what was sent exactly (detect), nothing
// (reject). An "either" file is never met: what a receiver makes of it is counted apart.
bool Passes(const ManifestRow& row, std::string_view detected);
// A key or digit reported that was not sent, or (where the verdict is not "either") more of
// them than were sent.
bool FalseDetection(const ManifestRow& row, std::string_view detected);

// A figure of a family, measured on the results.
struct FigureResult {
    std::string family;
    std::string label;
    std::string text;       // "-2.3 % to +2.1 % (nothing detected below -3.4 % and above +3.3 %)"
    std::string group;      // the group it belongs to when the family reports every group
    std::optional<double> low, high;      // the extent detected down and up
    std::optional<double> rejectLow, rejectHigh;  // beyond these nothing was detected
    std::string unit;
};

struct RequirementResult {
    std::string id;
    std::string suite;  // of its first file
    std::string requirement;
    std::string source;
    std::string status;
    std::size_t files = 0;
    std::vector<std::size_t> failures;  // rows that do not meet their verdict
};

// A file the receiver failed on (it exited with a failure, was killed by a signal, ran past its
// time, printed past the bound or could not be run), and how, in words.
struct RunFailure {
    std::size_t row = 0;
    std::string how;  // "exit status 3", "timed out after 0.5 s"
};

// Files of one verdict, and how many of them the receiver met it on.
struct VerdictCount {
    std::size_t files = 0;
    std::size_t met = 0;
};

struct Report {
    std::vector<ManifestRow> rows;
    std::vector<std::string> detected;   // by row
    std::vector<bool> passed;            // by row
    std::vector<std::optional<double>> cer;  // by row: the character error rate of a row carrying text
    std::vector<FigureResult> figures;
    std::vector<RequirementResult> requirements;
    std::vector<std::size_t> falseDetections;
    std::size_t failed = 0;              // detect and reject rows whose verdict was not met
    VerdictCount detect, reject;
    VerdictCount either;                 // met: the rows where what was sent was reported
    std::vector<RunFailure> runFailures;  // by row
};

// Scores what was detected for each row (same order) against the manifest.
Report Score(std::vector<ManifestRow> rows, std::vector<std::string> detected);

struct Measures;

// The report for people (the receiver named by its command) and for machines (with
// "receiver_failures" when there are some), each with the measures when given.
std::string ReportText(const Report& report, std::string_view receiver, const Measures* measures = nullptr);
std::string ReportJson(const Report& report, std::string_view receiver, const Measures* measures = nullptr);

}  // namespace Quorvex::VarnelNet::Kit
