#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "varnel/script/ScriptRun.h"

namespace Quorvex::VarnelNet::Script {

// The rendering of a script: its run (ScriptRun: every request queued and measured before a
// byte is rendered, so the whole length, and any request the engine refuses, are known before
// the first byte), then its audio pulled block by block. The requests must outlive it (a mixed
// script's are copied).
//
// With impairments on the line or a mixed script, the engines render PCM (16-bit, or 8-bit for
// 8-bit output), the mixed script's samples are added, the line impairs the sum (--snr's noise
// set from the power of that sum where it sounds, measured on runs of their own first), and the
// line's output stage writes the format asked for; the audio lasts as long as the longer script.
class Rendering {
public:
    using DebugLine = Script::DebugLine;

    // Throws RequestError naming the request it refuses (its reason: a check of the language,
    // the engine's text), or without a request for options that do not go together.
    Rendering(const RenderOptions& options, const Requests& requests, DebugLine debugLine = {});
    ~Rendering();
    Rendering(const Rendering&) = delete;
    Rendering& operator=(const Rendering&) = delete;

    // The signal requests (set: requests are applied, not listed), in order.
    const std::vector<MeasuredRequest>& Measured() const { return m_script.Measured(); }
    std::uint64_t TotalBytes() const { return m_total; }
    double TotalSeconds() const;
    // The settings in effect at the first signal request (and so the output's format).
    const SettingValues& StartSettings() const { return m_script.StartSettings(); }
    WAVEFORMATEX Format() const { return m_script.Format(); }
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
    bool Labelled() const { return m_script.Labelled(); }

private:
    struct Line;

    std::size_t PullLine(std::span<std::uint8_t> out);

    ScriptRun m_script;
    std::uint64_t m_total = 0;
    std::unique_ptr<Line> m_line;
    mutable std::vector<Label> m_allLabels;  // the script's and the mix's, once they are asked for
};

// How many samples the request lasts with these settings, known without rendering it (its
// generator is set up on an engine of its own and measured); 0 for set:. Throws RequestError
// when the request is refused with these settings.
std::int64_t DurationSamples(const Request& request, const SettingValues& settings);

}  // namespace Quorvex::VarnelNet::Script
