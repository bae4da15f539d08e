#include "Render.h"

#include <array>
#include <cstdio>

#include "varnel/engine/ErrorTexts.h"
#include "varnel/facade/Exceptions.h"
#include "varnel/platform/FileOutput.h"
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

Rendering RenderSamples(const RenderJob& job, std::uint64_t maxBytes, const CheckSignals& check) {
    Script::Rendering rendering(job.options, job.requests);
    if (rendering.TotalBytes() > maxBytes) {
        throw Script::RequestError("the rendering would take " + Size(rendering.TotalBytes(), rendering.TotalSeconds()) +
                                   ", more than max_bytes=" + std::to_string(maxBytes) +
                                   ": raise max_bytes, or write it to a file with write_wav()");
    }
    Rendering result;
    result.wide = rendering.StartSettings().Integer(SettingsCatalog::kEncoding) == ENC_PCM &&
                  rendering.StartSettings().Integer(SettingsCatalog::kBitsPerSample) == 16;
    result.bytes.reserve(rendering.TotalBytes());
    std::array<std::uint8_t, 65536> block{};
    for (;;) {
        check();
        const std::size_t n = rendering.Pull(block);
        if (n == 0) break;
        result.bytes.insert(result.bytes.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
    }
    result.labels = rendering.Labels();
    return result;
}

void WriteWaveFile(const RenderJob& job, const std::string& path, const CheckSignals& check) {
    Script::Rendering rendering(job.options, job.requests);
    if (const std::string refusal = Script::CheckWaveSize(rendering); !refusal.empty()) {
        throw Script::RequestError("refused before writing " + path + ": " + refusal);
    }
    FileOutput file;
    const auto fail = [&] {
        const std::string reason = std::string(ErrorText::kWaveFile) + " (" + file.Reason() + ")";
        file.Discard();
        throw COMException(reason, E_FAIL);
    };
    if (!file.Create(path)) fail();
    try {
        Script::WriteWave(
            rendering, [&](const std::uint8_t* data, std::size_t length) {
                if (!file.Append(data, length)) fail();
            },
            check);
    } catch (...) {
        file.Discard();  // a stop leaves the old file, and no temporary one
        throw;
    }
    if (!file.Close()) fail();
}

}  // namespace varnel_python
