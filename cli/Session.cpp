#include "cli/Session.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <cinttypes>
#include <span>

#include "cli/Level.h"
#include "varnel/engine/OutputFormat.h"
#include "varnel/signal/TonePattern.h"
#include "varnel/signal/ToneTables.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

bool IsSignal(const Request& request) { return request.kind != RequestKind::Set; }

// With --dbm0, sets the Amplitude that puts each of `tones` tones at the request's level.
void SetLevel(Varnel& varnel, const Request& r, int tones) {
    if (r.dbm0 && tones > 0) varnel.Amplitude(AmplitudeForDbm0(*r.dbm0, tones));
}

}  // namespace

std::string Reason(const Exception& e) {
    if (*e.what() != '\0') return e.what();
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "refused by the component (HRESULT 0x%08" PRIX32 ")",
                  static_cast<std::uint32_t>(e.HResult()));
    return text.data();
}

std::vector<std::int32_t> QueueRequest(Varnel& varnel, const Request& r) {
    if (r.kind != RequestKind::Tones) {
        SetLevel(varnel, r, ToneCount(r, varnel.CID_Standard() == CS_DTMF || varnel.CID_Alert() != CA_None));
    }
    switch (r.kind) {
        case RequestKind::Dtmf: return {varnel.GenerateDTMFs(r.keys)};
        case RequestKind::Tone:
            return {varnel.GenerateTone(r.onTime, r.offTime, r.frequencies[0], r.frequencies[1], r.frequencies[2])};
        case RequestKind::Silence: return {varnel.GenerateSilence(r.duration)};
        case RequestKind::Tones: {
            std::vector<std::int32_t> ids;
            for (const ToneStep& step : r.steps) {
                if (step.IsPause()) {
                    if (step.duration != 0) ids.push_back(varnel.GenerateSilence(static_cast<float>(step.duration)));
                    continue;
                }
                SetLevel(varnel, r, ToneCount(step));
                float f[3] = {0.0f, 0.0f, 0.0f};
                for (std::size_t i = 0; i < step.frequencies.size() && i < 3; ++i) f[i] = step.frequencies[i];
                ids.push_back(varnel.GenerateTone(step.duration, 0, f[0], f[1], f[2]));
            }
            return ids;
        }
        case RequestKind::CallerId:
            if (r.numberAbsence == CallerIdAbsence::None && r.nameAbsence == CallerIdAbsence::None) {
                return {varnel.GenerateCallerID(r.keys, r.name, r.dateTime)};
            }
            return {varnel.GenerateCallerID(r.keys, r.name, r.dateTime, r.numberAbsence, r.nameAbsence)};
        case RequestKind::Vmwi: return {varnel.GenerateVMWI(r.active)};
        case RequestKind::Mf: return {varnel.GenerateMF(r.keys)};
        case RequestKind::R2Forward: return {varnel.GenerateR2MF(r.keys, false)};
        case RequestKind::R2Backward: return {varnel.GenerateR2MF(r.keys, true)};
        case RequestKind::Tty:
        case RequestKind::TtyFile: return {varnel.GenerateTTY(r.keys)};
        case RequestKind::TtyHex: return {varnel.GenerateTTYEx(r.bytes)};
        case RequestKind::Set: ApplySetting(varnel, r.setting); return {};
        case RequestKind::Plan: return {varnel.GenerateTonePlan(r.country, r.tone, r.durationMs)};
        case RequestKind::Pattern: return {varnel.GeneratePattern(r.pattern, r.durationMs)};
        case RequestKind::Sit: return {varnel.GenerateSIT(r.code)};
        case RequestKind::Modem: return {varnel.GenerateModemTone(r.modemTone, r.durationMs)};
    }
    return {};
}

std::vector<std::int32_t> QueueOrFail(Varnel& varnel, const Request& request) {
    try {
        return QueueRequest(varnel, request);
    } catch (const Exception& e) {
        throw Failure("request '" + request.text + "' refused", Reason(e));
    }
}

std::size_t ApplyLeadingSettings(Varnel& varnel, const Options& options, const std::vector<Request>& requests) {
    for (const Setting& setting : ToolDefaults()) ApplySetting(varnel, setting);
    for (const Setting& setting : options.settings) {
        try {
            ApplySetting(varnel, setting);
        } catch (const Exception& e) {
            throw Failure("option --" + setting.text + " refused", Reason(e));
        }
    }
    std::size_t first = 0;
    while (first < requests.size() && !IsSignal(requests[first])) QueueOrFail(varnel, requests[first++]);
    return first;
}

void PrintDebugLines(Varnel& varnel, std::FILE* err) {
    varnel.OnDebug += Varnel::Delegate_OnDebug(
        [err](Object&, const OnDebugArgs& e) { std::fprintf(err, "%s\n", e.InfoMsg().c_str()); });
}

double BytesPerSecond(const Varnel& varnel) {
    const double bytesPerSample = varnel.Encoding() != ENC_PCM ? 1.0 : varnel.BitsPerSample() / 8;
    return varnel.SampleRate() * bytesPerSample;
}

std::string FormatText(const Varnel& varnel) {
    std::string text = std::to_string(varnel.SampleRate()) + " Hz, ";
    switch (varnel.Encoding()) {
        case ENC_MuLaw: text += "G.711 mu-law"; break;
        case ENC_ALaw: text += "G.711 A-law"; break;
        default: text += std::to_string(varnel.BitsPerSample()) + "-bit"; break;
    }
    return text + " mono";
}

double RequestSummary::Seconds() const {
    return bytesPerSecond > 0.0 ? static_cast<double>(bytes) / bytesPerSecond : 0.0;
}

WAVEFORMATEX WaveFormat(const Varnel& varnel) {
    return OutputWaveFormat(varnel.Encoding(), varnel.BitsPerSample(), static_cast<std::uint32_t>(varnel.SampleRate()));
}

std::string SettingsText(const Varnel& varnel) {
    std::string text;
    for (const SettingSpec* spec : SettingsCatalog::All()) {
        text.append(text.empty() ? "" : " ").append(spec->option).append("=").append(ValueText(*spec, varnel.Get(*spec)));
    }
    return text;
}

namespace {

// The frequencies of a tone pattern (pattern: and plan: requests); none when it does not parse,
// which the component reports.
std::vector<double> PatternFrequencies(std::string_view text) {
    TonePattern pattern;
    std::string error;
    std::vector<double> frequencies;
    if (!ParseTonePattern(text, pattern, error)) return frequencies;
    for (const PatternElement& element : pattern.elements) {
        for (int i = 0; i < element.toneCount; ++i) frequencies.push_back(element.tones[static_cast<std::size_t>(i)].hz);
    }
    return frequencies;
}

// The frequencies a request names.
std::vector<double> Frequencies(const Request& request) {
    std::vector<double> frequencies;
    switch (request.kind) {
        case RequestKind::Tone: return {std::begin(request.frequencies), std::end(request.frequencies)};
        case RequestKind::Tones:
            for (const ToneStep& step : request.steps) frequencies.insert(frequencies.end(), step.frequencies.begin(), step.frequencies.end());
            return frequencies;
        case RequestKind::Pattern: return PatternFrequencies(request.pattern);
        case RequestKind::Plan: {
            const TonePlanRow* row = FindTonePlan(request.country, request.tone);
            return row ? PatternFrequencies(row->pattern) : frequencies;
        }
        default: return frequencies;
    }
}

}  // namespace

std::vector<std::string> Warnings(const Request& request, std::int32_t sampleRate) {
    std::vector<std::string> warnings = request.warnings;
    const double half = sampleRate / 2.0;
    std::vector<double> named;
    for (const double f : Frequencies(request)) {
        if (f < half || std::find(named.begin(), named.end(), f) != named.end()) continue;
        named.push_back(f);
        char text[160];
        std::snprintf(text, sizeof text, "%g Hz is at or above half the sample rate (%g Hz at %d Hz): it aliases", f,
                      half, sampleRate);
        warnings.emplace_back(text);
    }
    return warnings;
}

void BeginStream(Varnel& varnel) {
    try {
        varnel.GenerateBegin();
    } catch (const Exception& e) {
        throw Failure("cannot start the generation", Reason(e));
    }
}

std::vector<RequestSummary> QueueAndMeasure(Varnel& varnel, const std::vector<Request>& requests, std::size_t first) {
    std::vector<RequestSummary> summaries;
    for (std::size_t next = first; next < requests.size(); ++next) {
        const Request& request = requests[next];
        if (!IsSignal(request)) {
            QueueOrFail(varnel, request);
            continue;
        }
        RequestSummary summary;
        summary.request = &request;
        summary.bytesPerSecond = BytesPerSecond(varnel);
        const std::int64_t before = varnel.QueuedBytes();
        summary.ids = QueueOrFail(varnel, request);
        summary.bytes = static_cast<std::uint64_t>(varnel.QueuedBytes() - before);
        summaries.push_back(std::move(summary));
    }
    return summaries;
}

std::vector<RequestSummary> MeasureRequests(const Options& options, const std::vector<Request>& requests) {
    Varnel varnel;
    const std::size_t first = ApplyLeadingSettings(varnel, options, requests);
    BeginStream(varnel);
    std::vector<RequestSummary> summaries = QueueAndMeasure(varnel, requests, first);
    varnel.GenerateEnd();
    return summaries;
}

std::uint64_t TotalBytes(const std::vector<RequestSummary>& summaries) {
    std::uint64_t total = 0;
    for (const RequestSummary& s : summaries) total += s.bytes;
    return total;
}

}  // namespace Quorvex::VarnelNet::Cli
