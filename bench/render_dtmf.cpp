// Renders SECONDS (default 60) of DTMF at 8000 Hz, 16-bit, through the component as a buffer
// stream pulled into memory, ROUNDS times (default 3), and prints each render's time, the bytes
// and their FNV-1a hash. Built natively and for WebAssembly, it measures node against native
// (scripts/measure-wasm) and shows that both render the same bytes.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "varnel/Varnel.h"

using namespace Quorvex::VarnelNet;

namespace {

std::vector<std::uint8_t> Render(double seconds) {
    Varnel varnel;
    varnel.SampleRate(8000);
    varnel.BitsPerSample(16);
    varnel.GenerateBegin();
    // Each key lasts DTMF_ToneTime + DTMF_BreakTime, 80 + 150 ms.
    const auto keys = static_cast<std::size_t>(seconds * 1000.0 / 230.0);
    std::string digits;
    for (std::size_t i = 0; i < keys; ++i) digits += "0123456789*#ABCD"[i % 16];
    varnel.GenerateDTMFs(digits);
    std::vector<std::uint8_t> audio;
    std::vector<std::uint8_t> block(4096);
    for (std::int32_t n; (n = varnel.FetchWaveStream(block)) > 0;) audio.insert(audio.end(), block.begin(), block.begin() + n);
    varnel.GenerateEnd();
    return audio;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const std::vector<std::uint8_t> audio = Render(seconds);
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        std::uint64_t hash = 0xcbf29ce484222325u;
        for (const std::uint8_t b : audio) hash = (hash ^ b) * 0x100000001b3u;
        std::printf("%.3f ms  %zu bytes  fnv1a %016llx\n", elapsed.count(), audio.size(),
                    static_cast<unsigned long long>(hash));
    }
    return 0;
}
