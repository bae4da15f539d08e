#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "testkit/FieldPattern.h"
#include "testkit/Labelled.h"
#include "testkit/Reading.h"
#include "testkit/Score.h"
#include "testkit/Statistics.h"

namespace Quorvex::VarnelNet::Kit {

// What the kit knows of one scored file beyond what was detected: what the receiver printed,
// read; the labels beside the file; the file's length.
struct FileEvidence {
    Reading reading;
    std::optional<Labelled> labelled;
    std::optional<WaveLength> length;
};

// A field a pattern names, against the labels: of how many files, right in how many.
struct FieldCount {
    std::string field;
    std::size_t files = 0, right = 0;
};

// Where the reported keys lie against the labels, in milliseconds (reported minus labelled):
// of files whose keys, with their times, are the labelled keys.
struct TimingErrors {
    std::size_t files = 0;
    ErrorSummary onset, offset, duration;
};

struct RequirementMeasures {
    std::string id;
    std::vector<FieldCount> fields;
    TimingErrors timing;
};

// The probability of detection (what was sent reported) at each value of a family's parameter.
struct DetectionStep {
    double value = 0.0;
    Proportion detected;
};
struct DetectionCurve {
    std::string family, label, parameter, unit, group;
    std::vector<DetectionStep> steps;                 // by value
    std::optional<double> bandLow, bandHigh;          // the values the requirement asks detection at
};

// Keys reported on the files that carry none, of a family, against their audio.
struct FalseAlarms {
    std::string family;
    std::size_t files = 0, keys = 0;
    double seconds = 0.0;
    double PerHour() const { return seconds > 0.0 ? static_cast<double>(keys) * 3600.0 / seconds : 0.0; }
};

// Keys sent against keys reported, aligned file by file; "none" for a key missed (reported) or
// one reported that was not sent (sent).
struct Confusion {
    std::vector<std::string> symbols;  // the rows' and columns' keys, in keypad order, "none" last
    std::map<std::pair<std::string, std::string>, std::size_t> counts;  // (sent, reported)
};

struct Measures {
    std::vector<FieldCount> fields;
    TimingErrors timing;
    std::vector<RequirementMeasures> requirements;  // as the report's requirements
    std::vector<DetectionCurve> curves;
    std::vector<FalseAlarms> falseAlarms;           // by family, and "all" last
    Confusion confusion;
};

inline constexpr std::string_view kNone = "none";

// The measures of a report, from the evidence of its rows (same order).
Measures Measure(const Report& report, const std::vector<FileEvidence>& evidence, const std::optional<FieldPattern>& pattern);

}  // namespace Quorvex::VarnelNet::Kit
