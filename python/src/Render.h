#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "varnel/render/Job.h"
#include "varnel/script/Parser.h"
#include "varnel/script/Rendering.h"

namespace varnel_python {

// The samples of a rendering, and whether they are 16-bit PCM (else one byte a sample:
// 8-bit PCM or G.711); its labels when the job asked for them.
struct RenderedAudio {
    std::vector<std::uint8_t> bytes;
    bool wide = false;
    std::vector<Quorvex::VarnelNet::Script::Label> labels;
};

// Called between blocks of work; throws to stop (a pending KeyboardInterrupt).
using CheckSignals = std::function<void()>;

// Renders the job's samples as `varnel --raw` writes them. A rendering of more than maxBytes
// is refused (RequestError) before anything is rendered, saying how large it would be.
RenderedAudio RenderSamples(const Quorvex::VarnelNet::Render::Job& job, std::uint64_t maxBytes, const CheckSignals& check);

// Writes the job as a RIFF/WAVE file, as `varnel -o PATH` does: an old file is replaced only
// once the new one is complete; audio beyond the 4 GiB a WAV file can describe is refused
// (RequestError) before anything is written; a stop leaves no temporary file. Throws
// COMException when the file cannot be written.
void WriteWaveFile(const Quorvex::VarnelNet::Render::Job& job, const std::string& path, const CheckSignals& check);

}  // namespace varnel_python
