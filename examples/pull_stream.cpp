// Pulls a Caller-ID transmission and a TTY greeting as a PCM stream, block by block, and writes
// the raw samples to a file (play it with: play -t raw -r 8000 -e signed -b 16 -c 1 FILE).
//
//   pull_stream [FILE]      (default: varnel-stream.raw)

#include <cstdio>
#include <string>
#include <vector>

#include "varnel/Varnel.h"

using namespace Quorvex::VarnelNet;

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "varnel-stream.raw";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        std::perror(path.c_str());
        return 1;
    }

    Varnel varnel;
    varnel.OnComplete += Varnel::Delegate_OnComplete(
        [](Object&, const OnCompleteArgs& e) { std::printf("request %d rendered\n", e.RequestID()); });
    varnel.SampleRate(8000);
    varnel.CID_BitTiming(CBT_Exact);  // exactly 1200 bit/s, which strict receivers want

    varnel.GenerateBegin();  // no file name: a buffer stream
    varnel.GenerateSilence(500.0f);
    varnel.GenerateCallerID("5551234", "JOHN DOE", "12/25 10:30");
    varnel.GenerateSilence(500.0f);
    varnel.GenerateTTY("HELLO GA");

    std::vector<std::uint8_t> block(4096);
    long total = 0;
    for (std::int32_t n; (n = varnel.FetchWaveStream(block)) > 0;) {
        std::fwrite(block.data(), 1, static_cast<std::size_t>(n), out);
        total += n;
    }
    varnel.GenerateEnd();
    std::fclose(out);
    std::printf("Wrote %ld bytes of 8000 Hz 16-bit mono PCM to %s\n", total, path.c_str());
    return 0;
}
