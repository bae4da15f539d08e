#include "varnel/rtp/LabelAnnotations.h"

#include <cmath>
#include <variant>

#include "varnel/script/Level.h"

namespace Quorvex::VarnelNet::Rtp {

namespace {

std::optional<std::uint8_t> ToneEventOf(MODEM_TONE tone) {
    switch (tone) {
        case MT_ANS: return ToneEvent::kAns;
        case MT_ANS_PR: return ToneEvent::kAnsPhaseReversed;
        case MT_ANSAM: return ToneEvent::kAnsam;
        case MT_ANSAM_PR: return ToneEvent::kAnsamPhaseReversed;
        case MT_CNG: return ToneEvent::kCng;
    }
    return std::nullopt;
}

constexpr const char* kLineSeparator = "\xE2\x80\xA8";

// The volume of the first of `tones` tones that sound together with these settings: the
// amplitude is the level of each (TONE_LevelPerTone, as --dbm0 sets it) or of their mean.
std::uint8_t VolumeOf(const Script::SettingValues& settings, int tones) {
    const double amplitude = settings.Number(SettingsCatalog::kAmplitude);
    const bool perTone = settings.Integer(SettingsCatalog::kToneLevelPerTone) != 0;
    return EventVolume(amplitude + Script::kFullScaleDbm0 - (perTone ? 0.0 : 20.0 * std::log10(static_cast<double>(tones))));
}

}  // namespace

LabelAnnotations::LabelAnnotations(const Script::Rendering& rendering, const SessionOptions& options)
    : m_rendering(rendering), m_options(options) {}

const Script::MeasuredRequest* LabelAnnotations::MeasuredOf(std::size_t position) {
    const std::vector<Script::MeasuredRequest>& measured = m_rendering.Measured();
    while (m_measured < measured.size() && measured[m_measured].entry->index < position) ++m_measured;
    return m_measured < measured.size() && measured[m_measured].entry->index == position ? &measured[m_measured] : nullptr;
}

void LabelAnnotations::AddCharacter(std::vector<TextCharacter>& text, const Script::Label& label) {
    if (label.text.size() != 1) return;  // LTRS, FIGS
    const auto code = static_cast<unsigned char>(label.text[0]);
    const bool afterCarriageReturn = m_afterCarriageReturn;
    m_afterCarriageReturn = code == '\r';
    std::string character;
    if (code == '\r' || (code == '\n' && !afterCarriageReturn)) {
        character = kLineSeparator;
    } else if (code == '\a' || code == '\b' || (code >= 0x20 && code != 0x7F)) {
        character = Script::Utf8Text(label.text);
    }
    if (character.empty() || label.end < m_lastReady) return;
    m_lastReady = label.end;
    text.push_back({m_lastReady, character});
}

void LabelAnnotations::TakeNew(std::vector<EventSpan>& events, std::vector<TextCharacter>& text) {
    const std::vector<Script::Label>& labels = m_rendering.Labels();
    std::size_t lastPosition = 0;  // the request of events.back(), which a contiguous element extends
    const auto free = [&](std::uint64_t first) { return first >= (events.empty() ? m_lastEventEnd : events.back().end); };
    for (; m_taken < labels.size(); ++m_taken) {
        const Script::Label& label = labels[m_taken];
        if (label.mixed) continue;
        const Script::MeasuredRequest* measured = MeasuredOf(label.position);
        if (!measured) continue;
        const Script::Request& request = measured->entry->request;
        if (label.symbol == SymbolKind::Key && std::holds_alternative<Script::Dtmf>(request) &&
            m_options.dtmfMode == DtmfMode::Rfc4733 && !label.text.empty()) {
            const std::optional<std::uint8_t> code = DtmfEventCode(label.text[0]);
            if (code && free(label.first)) events.push_back({label.first, label.end, *code, VolumeOf(measured->settings, 2)});
        } else if (label.symbol == SymbolKind::Tone && m_options.toneEvents) {
            const auto* modem = std::get_if<Script::Modem>(&request);
            const std::optional<std::uint8_t> code = modem ? ToneEventOf(modem->tone) : std::nullopt;
            if (!code) continue;
            if (!events.empty() && lastPosition == label.position && events.back().end == label.first) {
                events.back().end = label.end;
                continue;
            }
            if (!free(label.first)) continue;
            events.push_back({label.first, label.end, *code, VolumeOf(measured->settings, 1)});
            lastPosition = label.position;
        } else if (label.symbol == SymbolKind::Character && m_options.ttyRtt) {
            AddCharacter(text, label);
        }
    }
    if (!events.empty()) m_lastEventEnd = events.back().end;
}

}  // namespace Quorvex::VarnelNet::Rtp
