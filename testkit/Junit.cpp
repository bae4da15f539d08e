#include "testkit/Junit.h"

#include <algorithm>
#include <vector>

#include "testkit/MeasuresReport.h"
#include "varnel/platform/PrintableText.h"

namespace Quorvex::VarnelNet::Kit {

namespace {

constexpr std::size_t kFailuresShown = 4;

std::string Shown(std::string_view text) {
    if (text.empty()) return "nothing";
    std::string shown = "'";
    return shown.append(text).append("'");
}

std::string FailureMessage(const Report& report, const RequirementResult& r) {
    std::string message = std::to_string(r.files - r.failures.size()) + " of " + std::to_string(r.files) + " files meet their verdict";
    for (std::size_t k = 0; k < r.failures.size() && k < kFailuresShown; ++k) {
        const std::size_t i = r.failures[k];
        message.append(k == 0 ? ": " : "; ").append(report.rows[i].file).append(" detected ").append(Shown(report.detected[i]));
        message.append(", sent ").append(Shown(report.rows[i].sent));
    }
    if (r.failures.size() > kFailuresShown) message += "; " + std::to_string(r.failures.size() - kFailuresShown) + " more";
    return message;
}

std::string Counts(std::size_t tests, std::size_t failures) {
    return " tests=\"" + std::to_string(tests) + "\" failures=\"" + std::to_string(failures) + "\"";
}

}  // namespace

std::string XmlEscaped(std::string_view text) {
    std::string escaped;
    for (const char c : Printable(text)) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::string ReportJunit(const Report& report, std::string_view receiver, const Measures* measures) {
    // The suites in the order their first requirement comes.
    std::vector<std::string> suites;
    std::size_t notMet = 0;
    for (const RequirementResult& r : report.requirements) {
        if (std::find(suites.begin(), suites.end(), r.suite) == suites.end()) suites.push_back(r.suite);
        notMet += r.failures.empty() ? 0 : 1;
    }
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"varnel score: " + XmlEscaped(receiver) + "\"" +
                      Counts(report.requirements.size(), notMet) + ">\n";
    for (const std::string& suite : suites) {
        std::string cases;
        std::size_t tests = 0, failures = 0;
        for (const RequirementResult& r : report.requirements) {
            if (r.suite != suite) continue;
            ++tests;
            cases += "    <testcase classname=\"" + XmlEscaped(suite) + "\" name=\"" + XmlEscaped(r.id) + "\"";
            const std::string properties = measures ? MeasuresProperties(*measures, r.id) : "";
            if (r.failures.empty()) {
                cases += properties.empty() ? "/>\n" : ">\n" + properties + "    </testcase>\n";
                continue;
            }
            ++failures;
            cases += ">\n" + properties + "      <failure message=\"" + XmlEscaped(FailureMessage(report, r)) + "\">" + XmlEscaped(r.requirement) + " [" +
                     XmlEscaped(r.source) + "]</failure>\n    </testcase>\n";
        }
        xml += "  <testsuite name=\"" + XmlEscaped(suite) + "\"" + Counts(tests, failures) + ">\n" + cases + "  </testsuite>\n";
    }
    return xml + "</testsuites>\n";
}

}  // namespace Quorvex::VarnelNet::Kit
