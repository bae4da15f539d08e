#include "varnel/signal/TonePattern.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "varnel/platform/DecimalText.h"
#include "varnel/platform/TextFields.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr double kHighestHz = 100000.0;
constexpr std::size_t kQuotedLength = 40;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}


std::optional<double> ReadFrequency(std::string_view text) {
    double hz = 0.0;
    if (ReadDecimal(Trim(text), hz) != DecimalRead::Number || !(hz > 0.0 && hz < kHighestHz)) return std::nullopt;
    return hz;
}

std::optional<std::int64_t> ReadMilliseconds(std::string_view text) {
    double ms = 0.0;
    if (ReadDecimal(Trim(text), ms) != DecimalRead::Number || ms != std::trunc(ms)) return std::nullopt;
    if (ms < 1.0 || ms > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int64_t>(ms);
}

std::string Quoted(std::string_view text) {
    std::string quoted(1, '"');
    quoted.append(text.substr(0, kQuotedLength)).append(text.size() > kQuotedLength ? "...\"" : "\"");
    return quoted;
}

// Reads one element; returns the reason it is malformed, or an empty text.
std::string ReadElement(std::string_view text, bool last, PatternElement& element) {
    if (!text.empty() && text.front() == '!') {
        element.once = true;
        text = Trim(text.substr(1));
    }
    const std::size_t slash = text.find('/');
    const std::string_view tones = Trim(text.substr(0, slash));
    if (slash != std::string_view::npos) {
        const std::string_view duration = Trim(text.substr(slash + 1));
        const std::optional<std::int64_t> ms = ReadMilliseconds(duration);
        if (!ms) return "the duration " + Quoted(duration) + " is not a whole number of milliseconds from 1 to 2147483647";
        element.ms = *ms;
    } else if (!last) {
        return "it has no duration, so it plays to the end; only the last element may";
    }
    if (tones == "0") return "";
    const std::vector<std::string_view> sum = SplitFields(tones, '+');
    if (sum.size() > 3) return "more than three tones";
    for (const std::string_view tone : sum) {
        const std::size_t star = tone.find('*');
        const std::string_view carrier = Trim(tone.substr(0, star));
        const std::string_view modulation = star == std::string_view::npos ? std::string_view() : Trim(tone.substr(star + 1));
        if ((carrier == "0" && (sum.size() > 1 || star != std::string_view::npos)) || modulation == "0") {
            return "0 (silence) stands alone: it cannot be summed or modulated";
        }
        const std::optional<double> hz = ReadFrequency(carrier);
        if (!hz) return Quoted(carrier) + " is not a frequency (a number of Hz above 0 and below 100000, e.g. 425 or 1776.7)";
        ToneSequence::Tone& t = element.tones[static_cast<std::size_t>(element.toneCount++)];
        t.hz = *hz;
        if (star == std::string_view::npos) continue;
        const std::optional<double> m = ReadFrequency(modulation);
        if (!m) return Quoted(modulation) + " is not a frequency (a number of Hz above 0 and below 100000, e.g. 425 or 1776.7)";
        t.modulationHz = *m;
    }
    return "";
}

}  // namespace

std::string PrintTonePattern(const TonePattern& pattern) {
    std::string text;
    for (const PatternElement& e : pattern.elements) {
        if (!text.empty()) text += ',';
        if (e.once) text += '!';
        if (e.toneCount == 0) text += '0';
        for (int i = 0; i < e.toneCount; ++i) {
            const ToneSequence::Tone& tone = e.tones[static_cast<std::size_t>(i)];
            if (i > 0) text += '+';
            text += ShortestText(tone.hz);
            if (tone.modulationHz != 0.0) text.append(1, '*').append(ShortestText(tone.modulationHz));
        }
        if (e.ms != 0) text.append(1, '/').append(std::to_string(e.ms));
    }
    return text;
}

int TonePattern::MaxToneCount() const {
    int most = 0;
    for (const PatternElement& e : elements) most = std::max(most, e.toneCount);
    return most;
}

bool ParseTonePattern(std::string_view text, TonePattern& pattern, std::string& error) {
    pattern.elements.clear();
    if (Trim(text).empty()) {
        error = "Tone pattern is empty.";
        return false;
    }
    const std::vector<std::string_view> pieces = SplitFields(text, ',');
    std::vector<PatternElement> elements;
    elements.reserve(pieces.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::string_view piece = Trim(pieces[i]);
        const std::string number = std::to_string(i + 1);
        if (piece.empty()) {
            error = "Tone pattern element " + number + " is empty.";
            return false;
        }
        PatternElement element;
        const std::string reason = ReadElement(piece, i + 1 == pieces.size(), element);
        if (!reason.empty()) {
            error = "Tone pattern element " + number + " " + Quoted(piece) + ": " + reason + ".";
            return false;
        }
        elements.push_back(element);
    }
    pattern.elements = std::move(elements);
    return true;
}

std::vector<ToneSequence::Step> PatternSteps(const TonePattern& pattern, std::int64_t totalMs) {
    std::vector<ToneSequence::Step> steps;
    steps.reserve(pattern.elements.size());
    for (const PatternElement& e : pattern.elements) {
        ToneSequence::Step step;
        step.tones = e.tones;
        step.toneCount = e.toneCount;
        step.length = e.ms == 0 ? std::max<std::int64_t>(totalMs, 0) : e.ms;
        step.once = e.once;
        steps.push_back(step);
    }
    return steps;
}

}  // namespace Quorvex::VarnelNet
