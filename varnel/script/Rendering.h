#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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
    std::uint64_t bytes = 0;  // of samples
    double bytesPerSecond = 0.0;
    double Seconds() const { return bytesPerSecond > 0.0 ? static_cast<double>(bytes) / bytesPerSecond : 0.0; }
};

// One rendering of a script, on an engine of its own: the settings are applied (format settings
// only before the first signal request), every request is queued and measured before a byte is
// rendered, and then the audio is pulled block by block: the whole length, and any request the
// engine refuses, are known before the first byte. The requests must outlive the rendering.
//
// With impairments on the line or a mixed script, the engines render PCM (16-bit, or 8-bit for
// 8-bit output), the mixed script's samples are added, the line impairs the sum, and the line's
// output stage writes the format asked for; the audio lasts as long as the longer script.
class Rendering {
public:
    using DebugLine = std::function<void(const std::string& line)>;

    // Throws RequestError naming the request it refuses (its reason: a check of the language,
    // the engine's text), or without a request for options that do not go together.
    Rendering(const RenderOptions& options, const Requests& requests, DebugLine debugLine = {});
    ~Rendering();
    Rendering(const Rendering&) = delete;
    Rendering& operator=(const Rendering&) = delete;

    // The signal requests (set: requests are applied, not listed), in order.
    const std::vector<MeasuredRequest>& Measured() const { return m_measured; }
    std::uint64_t TotalBytes() const { return m_total; }
    double TotalSeconds() const;
    // The settings in effect at the first signal request (and so the output's format).
    const SettingValues& StartSettings() const { return m_start; }
    WAVEFORMATEX Format() const;
    double BytesPerSecond() const;
    // "8000 Hz, 16-bit mono", "8000 Hz, G.711 mu-law mono".
    std::string FormatText() const;

    // The least room Pull renders into: the engine leaves smaller buffers empty.
    static constexpr std::size_t kLeastRoom = 101;
    // Renders the next bytes into out (at least kLeastRoom bytes of room); returns how many, 0 at
    // the end.
    std::size_t Pull(std::span<std::uint8_t> out);

    // With RenderOptions::labels, the symbols of every request whose first sample has been
    // pulled (all of them once Pull answers 0), in order of their start; with a mix, its labels
    // too (Label::mixed); otherwise none.
    const std::vector<Label>& Labels() const;
    // Whether it labels its requests (RenderOptions::labels).
    bool Labelled() const { return m_labels != nullptr; }

private:
    struct Line;

    // pcm: the engine renders PCM and Pull gives it, whatever the output format (the mean
    // power of a signal is measured so).
    Rendering(const RenderOptions& options, const Requests& requests, DebugLine debugLine, bool pcm);
    // Settings, the set: requests before the first signal, the engine's PCM for the line, then
    // every request queued and measured.
    void Queue(const RenderOptions& options, const Requests& requests, bool line);
    // Tells the recorder where each queued request starts and which entry queued it.
    void ExpectLabels();
    // The mixed script, the line and its output stage.
    void StartLine(const RenderOptions& options, const Requests& requests, bool pcm);
    std::size_t PullLine(std::span<std::uint8_t> out);
    // The mean square of the script and its mix over the samples where a signal sounds, for --snr.
    static double SoundingPower(const RenderOptions& options, const Requests& requests);

    std::unique_ptr<CVarnel> m_engine;
    DebugLine m_debugLine;
    SettingValues m_start;
    std::vector<MeasuredRequest> m_measured;
    std::uint64_t m_total = 0;
    std::uint64_t m_engineBytesPerSample = 1;
    std::unique_ptr<LabelRecorder> m_labels;
    std::unique_ptr<Line> m_line;
    mutable std::vector<Label> m_allLabels;  // the script's and the mix's, once they are asked for
};

// How many samples the request lasts with these settings, known without rendering it (its
// generator is set up on an engine of its own and measured); 0 for set:. Throws RequestError
// when the request is refused with these settings.
std::int64_t DurationSamples(const Request& request, const SettingValues& settings);

// Writes the rendering as a RIFF/WAVE file through write: the header with its final sizes, the
// samples block by block (betweenBlocks, when given, runs before each block and may throw to
// stop), and the pad byte. Audio longer than a WAV file can describe is refused (RequestError)
// before anything is written.
void WriteWave(Rendering& rendering, const std::function<void(const std::uint8_t*, std::size_t)>& write,
               const std::function<void()>& betweenBlocks = {});

// Why the rendering does not fit a WAV file, or an empty text.
std::string CheckWaveSize(const Rendering& rendering);

}  // namespace Quorvex::VarnelNet::Script
