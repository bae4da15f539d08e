#include "cli/DetectExpect.h"

#include <algorithm>
#include <array>

#include "cli/Interrupt.h"
#include "testkit/Junit.h"
#include "varnel/script/Rendering.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

// What --expect compares: the symbols of a request kind, and the kinds of the labels a detector
// gives for them. Each detector adds its row.
struct ComparedKind {
    std::string_view what;
    SymbolKind symbol;
    std::string_view sentBy;
    std::array<std::string_view, 2> heardAs;
};
constexpr ComparedKind kComparedKinds[] = {
    {"key", SymbolKind::Key, "dtmf", {"dtmf", "rfc4733"}},
};

template <typename Matches>
std::vector<Detect::Compared> Events(std::span<const Script::Label> labels, double sampleRate, Matches matches) {
    std::vector<Detect::Compared> events;
    for (const Script::Label& label : labels) {
        for (const ComparedKind& kind : kComparedKinds) {
            if (label.symbol != kind.symbol || !matches(kind, label.kind)) continue;
            events.push_back({kind.what, label.text, static_cast<double>(label.first) / sampleRate, static_cast<double>(label.end) / sampleRate});
        }
    }
    std::stable_sort(events.begin(), events.end(), [](const Detect::Compared& a, const Detect::Compared& b) { return a.start < b.start; });
    return events;
}

// The labels of a rendering that a detector can hear, in seconds at its rate, by start.
std::vector<Detect::Compared> ExpectedEvents(std::span<const Script::Label> labels, double sampleRate) {
    return Events(labels, sampleRate, [](const ComparedKind& kind, std::string_view sentBy) { return kind.sentBy == sentBy; });
}

// The labels of a detection that compare with those, by start; an event heard twice (a key in
// the audio and as an event at once) counts once.
std::vector<Detect::Compared> HeardEvents(std::span<const Script::Label> labels, double sampleRate) {
    std::vector<Detect::Compared> events = Events(labels, sampleRate, [](const ComparedKind& kind, std::string_view heardAs) {
        return std::find(kind.heardAs.begin(), kind.heardAs.end(), heardAs) != kind.heardAs.end();
    });
    std::vector<Detect::Compared> once;
    for (const Detect::Compared& event : events) {
        const bool again = std::any_of(once.begin(), once.end(), [&](const Detect::Compared& e) {
            return e.what == event.what && e.text == event.text && event.start < e.end && e.start < event.end;
        });
        if (!again) once.push_back(event);
    }
    return once;
}

}  // namespace

std::vector<Detect::Compared> ExpectedOf(const Script::Requests& requests) {
    Script::RenderOptions options;
    options.labels = true;
    Script::Rendering rendering(options, requests);
    std::array<std::uint8_t, 8192> block{};
    while (rendering.Pull(block) != 0) StopIfInterrupted();
    return ExpectedEvents(rendering.Labels(), rendering.Format().nSamplesPerSec);
}

bool ExpectReport::Judge(const std::string& file, bool named, const std::vector<HeardStream>& streams, std::FILE* out) {
    const std::string prefix = named ? file + ": " : "";
    std::vector<std::string> differences;
    bool matches = false;
    for (const HeardStream& stream : streams) {
        const Detect::Verdict verdict = Detect::Compare(m_expected, HeardEvents(stream.labels, stream.rate));
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
