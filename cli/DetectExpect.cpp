#include "cli/DetectExpect.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "cli/Interrupt.h"
#include "testkit/Junit.h"
#include "varnel/script/Rendering.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

// A label's text as the front ends give it: a key's or character's symbol.
std::string TextOf(const Script::Label& label) { return label.text; }

// A Caller-ID message by its number: the layout and the other fields (a date, the detector's
// checksum and level) may differ between a rendering and a detection.
std::string NumberOf(const Script::Label& label) {
    for (const auto& [name, value] : label.fields) {
        if (name == "number") return value;
    }
    return {};
}

// A tone's segment by its frequencies to the hertz ("480+620"): a detector names a tone's nominal
// frequencies, and a plan's or modem tone's name is the detector's guess among those that fit.
std::string FrequenciesOf(const Script::Label& label) {
    std::string text;
    for (const double hz : label.hz) text.append(text.empty() ? "" : "+").append(std::to_string(std::lround(hz)));
    return text;
}

// What --expect compares: the symbols of a request kind, and the kinds of the labels a detector
// gives for them, each event by the text its label gives. Keys are compared whatever the script
// sends; the other kinds only when it sends them, since a detector may hear a kind in another's
// tones (a SIT's segment as a plan's tone).
struct ComparedKind {
    std::string_view what;
    SymbolKind symbol;
    std::string_view sentBy;
    std::array<std::string_view, 2> heardAs;
    std::string (*text)(const Script::Label&);
    bool always = false;
};
constexpr ComparedKind kComparedKinds[] = {
    {"key", SymbolKind::Key, "dtmf", {"dtmf", "rfc4733"}, TextOf, true},
    {"MF signal", SymbolKind::Key, "mf", {"mf"}, TextOf},
    {"R2 forward signal", SymbolKind::Key, "r2f", {"r2f"}, TextOf},
    {"R2 backward signal", SymbolKind::Key, "r2b", {"r2b"}, TextOf},
    {"Caller-ID message", SymbolKind::Message, "cid", {"cid"}, NumberOf},
    {"plan tone", SymbolKind::Tone, "plan", {"plan"}, FrequenciesOf},
    {"SIT segment", SymbolKind::Tone, "sit", {"sit"}, FrequenciesOf},
    {"modem tone", SymbolKind::Tone, "modem", {"modem"}, FrequenciesOf},
    {"TTY character", SymbolKind::Character, "tty", {"tty"}, TextOf},
};

template <typename Matches>
std::vector<Detect::Compared> Events(std::span<const Script::Label> labels, double sampleRate, Matches matches) {
    std::vector<Detect::Compared> events;
    for (const Script::Label& label : labels) {
        for (const ComparedKind& kind : kComparedKinds) {
            if (label.symbol != kind.symbol || !matches(kind, label.kind)) continue;
            events.push_back({kind.what, kind.text(label), static_cast<double>(label.first) / sampleRate, static_cast<double>(label.end) / sampleRate});
        }
    }
    std::stable_sort(events.begin(), events.end(), [](const Detect::Compared& a, const Detect::Compared& b) { return a.start < b.start; });
    return events;
}

// The labels of a rendering that a detector can hear, in seconds at its rate, by start.
std::vector<Detect::Compared> ExpectedEvents(std::span<const Script::Label> labels, double sampleRate) {
    return Events(labels, sampleRate, [](const ComparedKind& kind, std::string_view sentBy) { return kind.sentBy == sentBy; });
}

// The labels of a detection that compare with the expected events, by start; an event heard
// twice (a key in the audio and as an event at once) counts once.
std::vector<Detect::Compared> HeardEvents(std::span<const Script::Label> labels, double sampleRate, std::span<const Detect::Compared> expected) {
    std::vector<Detect::Compared> events = Events(labels, sampleRate, [&](const ComparedKind& kind, std::string_view heardAs) {
        const bool sent = kind.always || std::any_of(expected.begin(), expected.end(), [&](const Detect::Compared& e) { return e.what == kind.what; });
        return sent && std::find(kind.heardAs.begin(), kind.heardAs.end(), heardAs) != kind.heardAs.end();
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
        const Detect::Verdict verdict = Detect::Compare(m_expected, HeardEvents(stream.labels, stream.rate, m_expected));
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
