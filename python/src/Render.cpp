#include "Render.h"

#include <cstdio>

#include "varnel/facade/Exceptions.h"
#include "varnel/render/ByteSink.h"
#include "varnel/render/Outputs.h"
#include "varnel/script/RequestError.h"

using namespace Quorvex::VarnelNet;

namespace varnel_python {

namespace {

std::string Size(std::uint64_t bytes, double seconds) {
    char text[96];
    std::snprintf(text, sizeof text, "%llu bytes (%.3f s of audio)", static_cast<unsigned long long>(bytes), seconds);
    return text;
}

}  // namespace

RenderedAudio RenderSamples(const Render::Job& job, std::uint64_t maxBytes, const CheckSignals& check) {
    const std::unique_ptr<Script::Rendering> rendering = Render::OpenRendering(job);
    try {
        Render::CheckMemoryLimit(*rendering, maxBytes);
    } catch (const Render::TooLarge& e) {
        throw Script::RequestError("the rendering would take " + Size(e.Bytes(), e.Seconds()) + ", more than max_bytes=" +
                                   std::to_string(e.Limit()) + ": raise max_bytes, or write it to a file with write_wav()");
    }
    RenderedAudio result;
    result.wide = rendering->StartSettings().Integer(SettingsCatalog::kEncoding) == ENC_PCM &&
                  rendering->StartSettings().Integer(SettingsCatalog::kBitsPerSample) == 16;
    Render::PullAll(*rendering, result.bytes, {check, {}});
    result.labels = rendering->Labels();
    return result;
}

void WriteWaveFile(const Render::Job& job, const std::string& path, const CheckSignals& check) {
    const std::unique_ptr<Script::Rendering> rendering = Render::OpenRendering(job);
    if (const std::string refusal = Render::CheckWaveSize(*rendering); !refusal.empty()) {
        throw Script::RequestError("refused before writing " + path + ": " + refusal);
    }
    try {
        Render::FileSink sink(path);
        Render::Tally tally;
        Render::WriteWave(*rendering, sink, {check, {}}, tally);
        sink.Finish();
    } catch (const Render::OutputFailure& f) {
        throw COMException(f.what(), E_FAIL);
    }
}

}  // namespace varnel_python
