#include "varnel/generators/CGenCallerID.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "varnel/generators/StepSymbols.h"
#include "varnel/signal/AsyncFramer.h"
#include "varnel/signal/CallerIdFields.h"
#include "varnel/signal/CallerIdMessage.h"
#include "varnel/signal/DtmfKeypad.h"

namespace Quorvex::VarnelNet {

namespace {

constexpr AsyncFrame kCharacter{8, Parity::None, StopBits::One};
constexpr std::size_t kCharacterBits = 10;
// DTMF Caller-ID: every key sounds 70 ms and is followed by 70 ms of silence.
constexpr double kDtmfToneMs = 70.0;
constexpr double kDtmfPauseMs = 70.0;

// Sample rates above this would make a bit too long to count in bytes.
constexpr float kHighestRate = 2147483648.0f;

std::int64_t Samples(double ms, double sampleRate) {
    return static_cast<std::int64_t>(std::trunc(ms * sampleRate / 1000.0));
}

ToneSequence::Step Silence(double ms, double sampleRate) {
    ToneSequence::Step step;
    step.length = Samples(ms, sampleRate);
    step.once = true;
    return step;
}

ToneSequence::Step Tones(double hz0, double hz1, int count, double ms, double sampleRate) {
    ToneSequence::Step step = Silence(ms, sampleRate);
    step.tones[0].hz = hz0;
    step.tones[1].hz = hz1;
    step.toneCount = count;
    return step;
}

}  // namespace

CGenCallerID::~CGenCallerID() { Clear(); }

void CGenCallerID::Clear() {
    m_message = {};
    m_modem.Load({});
    m_lead.Start({}, 0, 0.0, m_format, 0.0, 0.0);
}

int CGenCallerID::Init(SampleFormat format, float sampleRate, float amplitude) {
    m_format = format;
    m_sampleRate = sampleRate;
    m_amplitude = amplitude;
    m_usable = sampleRate > 0.0f && sampleRate <= kHighestRate;
    m_message = {};
    Load(0);
    return 0;
}

void CGenCallerID::SetBitTiming(BitTiming timing) {
    m_timing = timing;
    Load(0);
}

void CGenCallerID::SetStandard(CallerIdStandard standard, CallerIdAlert alert) {
    m_standard = standard;
    m_alert = alert;
    Load(0);
}

std::int32_t CGenCallerID::MinimumSamplesPerBit() const {
    if (!m_usable) return 0;
    return IsFsk() ? m_modem.ShortestBit() : 1;
}

int CGenCallerID::FormatDateTime(const char* dateTime, std::uint8_t (&out)[8]) {
    return CallerIdMessage::FormatDateTime(dateTime, out);
}

int CGenCallerID::BuildSDMF(const char* number, const char* dateTime) {
    return Load(CallerIdMessage::BuildSDMF(number, dateTime, m_message));
}

int CGenCallerID::BuildMDMF(const char* number, const char* name, const char* dateTime) {
    return Load(CallerIdMessage::BuildMDMF(number, name, dateTime, m_message));
}

int CGenCallerID::BuildRaw(const char* data) { return Load(CallerIdMessage::BuildRaw(data, m_message)); }

std::string CGenCallerID::BuildCallerID(CallerIdLayout layout, const CallerIdContent& content) {
    return Load(CallerIdPlan::BuildCallerId(m_standard, layout, content, m_message));
}

std::string CGenCallerID::BuildVMWI(CallerIdLayout layout, bool active) {
    return Load(CallerIdPlan::BuildMessageWaiting(m_standard, layout, active, m_message));
}

std::string CGenCallerID::Load(std::string refusal) {
    Load(0);
    return refusal;
}

int CGenCallerID::Load(int built) {
    const auto rate = static_cast<double>(m_sampleRate);
    const auto level = static_cast<double>(m_amplitude);
    m_modem.Start(Deviated(Modem(), Deviation()), FskKeying::ContinuousPhase, m_timing, rate, m_format, level);
    m_modem.SetSpaceLevel(Deviation().spaceLevel);
    const bool ready = !m_message.empty() && m_usable;
    const CallerIdFrame frame = CallerIdPlan::FrameOf(m_standard, m_alert);

    std::vector<ToneSequence::Step> lead;
    if (ready) {
        for (const AlertStep& a : frame.alert) lead.push_back(Tones(a.hz[0], a.hz[1], a.toneCount, a.ms, rate));
        if (!IsFsk()) {
            for (const std::uint8_t key : m_message) {
                const auto pair = DtmfKeypad::Find(static_cast<char>(key));
                if (!pair) continue;
                lead.push_back(Tones(pair->column, pair->row, 2, kDtmfToneMs, rate));
                lead.push_back(Silence(kDtmfPauseMs, rate));
            }
        }
    }
    DeviateSteps(lead, Deviation());
    m_lead.Start(std::move(lead), INT64_MAX, rate, m_format, level, 0.0);
    if (!ready || !IsFsk()) return built;

    FskSymbols symbols;
    symbols.reserve(static_cast<std::size_t>(frame.seizureBits + frame.markBits) + 10 * m_message.size());
    AppendAlternating(symbols, frame.seizureBits);
    // The mark signal is one continuous run of the mark tone.
    if (frame.markBits > 0) {
        symbols.push_back(FskSymbol::kMark);
        symbols.insert(symbols.end(), static_cast<std::size_t>(frame.markBits - 1),
                       FskSymbol::kMark | FskSymbol::kContinue);
    }
    for (const std::uint8_t byte : m_message) kCharacter.Append(symbols, byte);
    m_modem.Load(std::move(symbols));
    return built;
}

void CGenCallerID::SetLevelPerTone(bool perTone) { m_lead.SetLevelPerTone(perTone); }

// The FSK tone sounds alone.
double CGenCallerID::LoudestLevelSum() const { return std::max(1, m_lead.MostTonesTogether()); }

std::int64_t CGenCallerID::Length() const {
    const std::int64_t samples =
        (m_lead.TotalSamples() - m_lead.Position()) + (m_modem.TotalSamples() - m_modem.Position());
    return samples * BytesPerSample(m_format);
}

void CGenCallerID::ReportSymbols(const SymbolReport& report) const {
    if (m_message.empty() || !m_usable) return;
    const std::size_t alertSteps = CallerIdPlan::FrameOf(m_standard, m_alert).alert.size();
    m_lead.ForEachPlayed([&](std::size_t step, std::int64_t first, std::int64_t samples) {
        if (step < alertSteps) report(StepSymbol(m_lead.Steps()[step], step, first, samples));
    });
    const DecodedCallerId decoded = DecodeCallerId(m_standard, m_message);
    std::vector<SymbolField> fields;
    for (const CallerIdField& field : decoded.fields) fields.push_back({field.name, field.value});
    Symbol message{.kind = SymbolKind::Message, .text = decoded.layout, .fields = fields};
    if (IsFsk()) {
        ReportFsk(report, message);
    } else {
        ReportDtmf(report, message);
    }
}

// The symbols after the lead: seizure, marks, then 10 bits a byte.
void CGenCallerID::ReportFsk(const SymbolReport& report, Symbol& message) const {
    const CallerIdFrame frame = CallerIdPlan::FrameOf(m_standard, m_alert);
    const auto seizure = static_cast<std::size_t>(frame.seizureBits);
    const std::size_t preamble = seizure + static_cast<std::size_t>(frame.markBits);
    const std::int64_t lead = m_lead.TotalSamples();
    std::vector<std::int64_t> starts(m_message.size() + 1, 0);  // of each byte, then the end
    std::int64_t seizureEnd = lead;
    m_modem.ForEachSymbol([&](std::size_t i, std::int64_t first, std::int64_t samples) {
        if (i < seizure) seizureEnd = lead + first + samples;
        if (i >= preamble && (i - preamble) % kCharacterBits == 0) starts[(i - preamble) / kCharacterBits] = lead + first;
        starts.back() = lead + first + samples;
    });
    const ModemSpec modem = Deviated(Modem(), Deviation());
    if (seizure > 0) {
        report({.kind = SymbolKind::Tone, .first = lead, .last = seizureEnd - 1, .text = "channel seizure",
                .hz = {modem.markHz, modem.spaceHz, 0.0}, .toneCount = 2});
    }
    if (frame.markBits > 0) {
        report({.kind = SymbolKind::Tone, .first = seizureEnd, .last = starts.front() - 1, .text = "mark signal",
                .hz = {modem.markHz, 0.0, 0.0}, .toneCount = 1});
    }
    message.first = starts.front();
    message.last = starts.back() - 1;
    report(message);
    for (std::size_t b = 0; b < m_message.size(); ++b) {
        report({.kind = SymbolKind::Byte, .first = starts[b], .last = starts[b + 1] - 1,
                .index = static_cast<std::int32_t>(b), .value = m_message[b]});
    }
}

// After the alert, a tone and a pause per key.
void CGenCallerID::ReportDtmf(const SymbolReport& report, Symbol& message) const {
    std::string keys;
    for (const std::uint8_t key : m_message) {
        if (DtmfKeypad::Find(static_cast<char>(key))) keys += static_cast<char>(key);
    }
    const std::size_t alertSteps = CallerIdPlan::FrameOf(m_standard, m_alert).alert.size();
    std::vector<Symbol> tones;
    m_lead.ForEachPlayed([&](std::size_t step, std::int64_t first, std::int64_t samples) {
        if (step < alertSteps || (step - alertSteps) % 2 != 0) return;
        Symbol key = StepSymbol(m_lead.Steps()[step], (step - alertSteps) / 2, first, samples);
        key.kind = SymbolKind::Key;
        key.text = std::string_view(keys).substr(static_cast<std::size_t>(key.index), 1);
        tones.push_back(key);
    });
    if (tones.empty()) return;
    message.first = tones.front().first;
    message.last = tones.back().last;
    report(message);
    for (const Symbol& key : tones) report(key);
}

int CGenCallerID::Read(std::uint8_t* buffer, int byteCount) {
    if (buffer == nullptr || byteCount <= 0) return 0;
    const int bytesPerSample = BytesPerSample(m_format);
    const auto room = static_cast<std::size_t>(byteCount / bytesPerSample);
    std::size_t written = 0;
    if (m_lead.Position() < m_lead.TotalSamples()) written = m_lead.Render(buffer, room);
    if (m_lead.Position() >= m_lead.TotalSamples() && written < room && !m_modem.Done()) {
        written += m_modem.RenderWholeSymbols(buffer + written * static_cast<std::size_t>(bytesPerSample), room - written);
    }
    return static_cast<int>(written) * bytesPerSample;
}

}  // namespace Quorvex::VarnelNet
