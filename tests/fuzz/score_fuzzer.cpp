// What `varnel score` reads: the first line is a --pattern (empty: none), the rest a folder's
// manifest.csv. The rows are scored with what the pattern reads from each row's own text, and
// the report written for people and machines; everything refused must be refused with a text.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzScript.h"
#include "testkit/Score.h"

using namespace Quorvex::VarnelNet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string patternText(input.substr(0, newline));
    const std::string_view manifest = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
    std::optional<std::regex> pattern;
    if (!patternText.empty()) {
        try {
            pattern = Kit::CompilePattern(patternText);
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
    for (const Kit::ManifestRow& row : rows) detected.push_back(Kit::Detected(row.file + "\n" + row.sent, pattern));
    const Kit::Report report = Kit::Score(rows, detected);
    Fuzz::Require(report.rows.size() == rows.size() && report.passed.size() == rows.size(), "a score that lost rows");
    Kit::ReportText(report, patternText);
    Kit::ReportJson(report, patternText);
    return 0;
}
