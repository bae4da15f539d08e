// Writes a WAV file with a DTMF number and a dial tone, and prints each diagnostic line.
//
//   write_wav [FILE]      (default: varnel-demo.wav)

#include <cstdio>
#include <string>

#include "varnel/engine/CVarnel.h"
#include "varnel/platform/TextConversion.h"

using namespace Quorvex::VarnelNet;

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "varnel-demo.wav";

    CVarnel engine;
    engine.SetCallBack([](void*, std::int32_t msg, std::uint64_t wparam, std::int64_t) {
        if (msg == MSG_DEBUG_TEXT) {
            const auto* line = reinterpret_cast<const char16_t*>(wparam);
            std::printf("%s\n", Utf16ToUtf8(line).c_str());
        }
        return 0;
    });
    engine.set_SampleRate(8000);
    engine.set_BitsPerSample(16);
    engine.set_Amplitude(-6.0f);

    const std::u16string wideName(path.begin(), path.end());
    if (FAILED(engine.GenerateBegin(wideName.c_str()))) {
        std::fprintf(stderr, "write_wav: %s\n", engine.GetErrMsg().c_str());
        return 1;
    }
    std::int32_t id = 0;
    engine.GenerateDTMFs(u"555-0123#", &id);
    engine.GenerateSilence(300.0f, &id);
    engine.GenerateTone(2000, 0, 350.0f, 440.0f, 0.0f, &id);  // North American dial tone
    if (FAILED(engine.GenerateEnd())) {
        std::fprintf(stderr, "write_wav: %s\n", engine.GetErrMsg().c_str());
        return 1;
    }
    std::printf("Wrote %s: DTMF \"555-0123#\", then 2 s of 350+440 Hz dial tone (8000 Hz, 16-bit).\n",
                path.c_str());
    return 0;
}
