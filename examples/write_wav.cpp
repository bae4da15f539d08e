// Writes a WAV file with a DTMF number and a dial tone, and prints each diagnostic line.
//
//   write_wav [FILE]      (default: call.wav, as in the README; scripts/run-demo writes varnel-demo.wav)

#include <cstdio>
#include <string>

#include "varnel/Varnel.h"

using namespace Quorvex::VarnelNet;

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "call.wav";

    Varnel varnel;
    varnel.OnDebug += Varnel::Delegate_OnDebug(
        [](Object&, const OnDebugArgs& e) { std::printf("%s\n", e.InfoMsg().c_str()); });
    varnel.SampleRate(8000);
    varnel.BitsPerSample(16);
    varnel.Amplitude(-6.0f);

    try {
        varnel.GenerateBegin(path);
        varnel.GenerateDTMFs("555-0123#");
        varnel.GenerateSilence(300.0f);
        varnel.GenerateTone(2000, 0, 350.0f, 440.0f, 0.0f);  // North American dial tone
        varnel.GenerateEnd();
    } catch (const Exception& e) {
        std::fprintf(stderr, "write_wav: %s (0x%08X)\n", e.what(), static_cast<unsigned>(e.HResult()));
        return 1;
    }
    std::printf("Wrote %s: DTMF \"555-0123#\", then 2 s of 350+440 Hz dial tone (8000 Hz, 16-bit).\n",
                path.c_str());
    return 0;
}
