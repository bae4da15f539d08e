#include "cli/DetectExpect.h"

#include <array>

#include "cli/Interrupt.h"
#include "testkit/Junit.h"
#include "varnel/script/Rendering.h"

namespace Quorvex::VarnelNet::Cli {

std::vector<Detect::Compared> ExpectedOf(const Script::Requests& requests) {
    Script::RenderOptions options;
    options.labels = true;
    Script::Rendering rendering(options, requests);
    std::array<std::uint8_t, 8192> block{};
    while (rendering.Pull(block) != 0) StopIfInterrupted();
    return Detect::ExpectedEvents(rendering.Labels(), rendering.Format().nSamplesPerSec);
}

bool ExpectReport::Judge(const std::string& file, bool named, const std::vector<HeardStream>& streams, std::FILE* out) {
    const std::string prefix = named ? file + ": " : "";
    std::vector<std::string> differences;
    bool matches = false;
    for (const HeardStream& stream : streams) {
        const Detect::Verdict verdict = Detect::Compare(m_expected, Detect::HeardEvents(stream.labels, stream.rate));
        const std::string text = verdict.text + (stream.name.empty() ? "" : " (" + stream.name + ")");
        if (verdict.matches) {
            std::fprintf(out, "%s%s\n", prefix.c_str(), text.c_str());
            matches = true;
            break;
        }
        differences.push_back(text);
    }
    if (streams.empty()) differences.push_back(Detect::Compare(m_expected, {}).text + " (no RTP stream)");
    if (!matches) {
        for (const std::string& difference : differences) std::fprintf(out, "%s%s\n", prefix.c_str(), difference.c_str());
    }
    ++m_tests;
    m_cases += "    <testcase classname=\"varnel detect --expect\" name=\"" + Kit::XmlEscaped(file) + "\"";
    if (matches) {
        m_cases += "/>\n";
    } else {
        ++m_failures;
        std::string message;
        for (const std::string& difference : differences) message += (message.empty() ? "" : "; ") + difference;
        m_cases += ">\n      <failure message=\"" + Kit::XmlEscaped(message) + "\"/>\n    </testcase>\n";
    }
    return matches;
}

std::string ExpectReport::Junit() const {
    const std::string counts = " tests=\"" + std::to_string(m_tests) + "\" failures=\"" + std::to_string(m_failures) + "\"";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"varnel detect --expect\"" + counts +
           ">\n  <testsuite name=\"varnel detect --expect\"" + counts + ">\n" + m_cases + "  </testsuite>\n</testsuites>\n";
}

std::string HeardLabels(const std::string& path, const std::vector<HeardStream>& streams) {
    std::string text;
    const bool json = Script::LabelFormatOf(path) == Script::LabelFormat::JsonLines;
    for (const HeardStream& stream : streams) text += json ? Script::JsonLabels(stream.labels) : Script::AudacityLabels(stream.labels, stream.rate);
    return text;
}

}  // namespace Quorvex::VarnelNet::Cli
