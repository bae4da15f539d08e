#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "varnel/engine/CVarnel.h"
#include "varnel/script/Impairments.h"
#include "varnel/script/Labels.h"
#include "varnel/script/Parser.h"
#include "varnel/script/SettingText.h"

namespace Quorvex::VarnelNet::Script {

// A second script sounding under the first (a dial tone under DTMF): its requests, which take
// the first script's settings and format, and its own level.
struct Mix {
    Requests requests;
    std::optional<float> dbm0;
};

// How a script is rendered: settings over RenderDefaults(), in order (a later one wins),
// optionally every tone at a level in dBm0 instead of an amplitude, whether the symbols of the
// requests are labelled, the sender's deviations and the line's impairments, and a script
// mixed under it.
struct RenderOptions {
    std::vector<Set> settings;
    std::optional<float> dbm0;
    bool labels = false;
    Impairments impairments{};
    std::optional<Mix> mix{};
};

// The settings a rendering applies before its requests: RenderDefaults(), the options' settings,
// and with dbm0 the settings that put every tone at that level. Throws RequestError when the
// options set the level twice (dbm0 and an amplitude).
std::vector<Set> StartingSettings(const RenderOptions& options);

// What one request of the script queued.
struct MeasuredRequest {
    const Entry* entry = nullptr;
    SettingValues settings;  // the settings it met
    std::vector<std::int32_t> ids;
    std::uint64_t bytes = 0;  // of samples in the output's format
    double bytesPerSecond = 0.0;
    double Seconds() const { return bytesPerSecond > 0.0 ? static_cast<double>(bytes) / bytesPerSecond : 0.0; }
};

// Called with each diagnostic line of the engine.
using DebugLine = std::function<void(const std::string& line)>;

// One script on an engine of its own: the settings applied (format settings only before the
// first signal request), the sender's deviations set, every request checked, queued and
// measured, its symbols labelled when the options ask; then the engine's bytes pulled. The
// engine renders the output's format, or with enginePcm the PCM a line takes (16-bit, 8-bit
// for 8-bit output: G.711 carries the 16-bit samples). The requests must outlive it.
class ScriptRun {
public:
    // Throws RequestError naming the request it refuses, or without one for options that do not
    // go together.
    ScriptRun(const RenderOptions& options, const Requests& requests, bool enginePcm, DebugLine debugLine = {});
    ~ScriptRun();
    ScriptRun(const ScriptRun&) = delete;
    ScriptRun& operator=(const ScriptRun&) = delete;

    const std::vector<MeasuredRequest>& Measured() const { return m_measured; }
    // The settings in effect at the first signal request (and so the output's format).
    const SettingValues& StartSettings() const { return m_start; }
    WAVEFORMATEX Format() const;
    // The samples of every request.
    std::uint64_t Samples() const { return m_samples; }

    // The engine's next bytes into out; 0 at the end.
    std::size_t Pull(std::span<std::uint8_t> out);

    // The symbols of every request whose first sample has been pulled, with labels; else none.
    const std::vector<Label>& Labels() const;
    bool Labelled() const { return m_labels != nullptr; }

private:
    void Queue(const RenderOptions& options, const Requests& requests, bool enginePcm);
    void ExpectLabels();

    std::unique_ptr<CVarnel> m_engine;
    DebugLine m_debugLine;
    SettingValues m_start;
    std::vector<MeasuredRequest> m_measured;
    std::uint64_t m_samples = 0;
    std::uint64_t m_engineBytesPerSample = 1;
    std::unique_ptr<LabelRecorder> m_labels;
};

// The PCM the engines render for a line: 8-bit for 8-bit output, otherwise 16-bit.
SampleFormat LinePcmOf(const SettingValues& settings);

}  // namespace Quorvex::VarnelNet::Script
