// What `varnel score` reads: the first line is a --pattern (empty: none, named groups too), the
// rest a folder's manifest.csv up to a blank line, and what follows it a file's labels (NAME.jsonl). The rows are scored with what the pattern reads from each row's own text, their
// measures taken with those labels, and the report written for people and machines, JUnit and
// the HTML page; everything refused must be refused with a text.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzScript.h"
#include "testkit/HtmlReport.h"
#include "testkit/Junit.h"
#include "testkit/Measures.h"
#include "testkit/Reading.h"
#include "testkit/Score.h"

using namespace Quorvex::VarnelNet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string patternText(input.substr(0, newline));
    const std::string_view rest = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
    const std::size_t blank = rest.find("\n\n");
    const std::string_view manifest = rest.substr(0, blank);
    const std::string_view labels = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 2);
    std::optional<Kit::FieldPattern> pattern;
    if (!patternText.empty()) {
        try {
            pattern = Kit::CompileFieldPattern(patternText);
        } catch (const std::invalid_argument& e) {
            Fuzz::Require(*e.what() != '\0', "a pattern refused without its reason");
            return 0;
        }
    }
    std::vector<Kit::ManifestRow> rows;
    try {
        rows = Kit::ReadManifest(manifest);
    } catch (const Kit::ManifestError& e) {
        Fuzz::Require(std::string_view(e.what()).rfind("manifest.csv line ", 0) == 0, "a refusal without its line");
        return 0;
    }
    std::vector<std::string> detected;
    std::vector<Kit::FileEvidence> evidence;
    const Kit::Labelled labelled = Kit::ReadLabels(labels, 8000.0);
    for (const Kit::ManifestRow& row : rows) {
        Kit::Reading reading = Kit::ReadOutput(row.file + "\n" + row.sent, pattern, {});
        detected.push_back(reading.detected);
        evidence.push_back({std::move(reading), labelled, Kit::WaveLength{8000.0, static_cast<double>(row.file.size())}});
    }
    const Kit::Report report = Kit::Score(rows, detected);
    Fuzz::Require(report.rows.size() == rows.size() && report.passed.size() == rows.size(), "a score that lost rows");
    const Kit::Measures measures = Kit::Measure(report, evidence, pattern);
    for (const Kit::DetectionCurve& curve : measures.curves) {
        for (const Kit::DetectionStep& step : curve.steps) {
            Fuzz::Require(step.detected.low <= step.detected.estimate && step.detected.estimate <= step.detected.high, "an interval beside its estimate");
        }
    }
    Kit::ReportText(report, patternText, &measures);
    Kit::ReportJson(report, patternText, &measures);
    Kit::ReportJunit(report, patternText, &measures);
    Kit::HtmlReport(report, measures, patternText);
    return 0;
}
