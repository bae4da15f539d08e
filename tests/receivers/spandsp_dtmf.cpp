// spandsp's DTMF receiver (dtmf_rx, its default settings) on a WAV file of 8000 Hz: prints the
// keys it detects on one line. --filter-dialtone turns on its dial-tone filter, as its own dial
// tone test does. A receiver for `varnel score`:
//   varnel score DIR -- spandsp_dtmf [--filter-dialtone] {}

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "WaveSamples.h"

int main(int argc, char** argv) {
    const bool filterDialTone = argc == 3 && std::string_view(argv[1]) == "--filter-dialtone";
    if (argc != 2 && !filterDialTone) {
        std::fprintf(stderr, "usage: spandsp_dtmf [--filter-dialtone] FILE.wav\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    const auto wave = receiver::ReadWave(path);
    if (!wave) return 1;
    if (wave->rate != 8000) {
        std::fprintf(stderr, "%s: %u Hz: the receiver takes 8000 Hz\n", path, wave->rate);
        return 1;
    }
    std::string keys;
    dtmf_rx_state_t* rx = dtmf_rx_init(
        nullptr, [](void* user, const char* digits, int n) { static_cast<std::string*>(user)->append(digits, static_cast<std::size_t>(n)); },
        &keys);
    // The twist limits and the threshold stay at spandsp's defaults (negative: unchanged).
    if (filterDialTone) dtmf_rx_parms(rx, 1, -1, -1, -99);
    for (std::size_t at = 0; at < wave->samples.size(); at += 160) {
        const int n = static_cast<int>(std::min<std::size_t>(160, wave->samples.size() - at));
        dtmf_rx(rx, wave->samples.data() + at, n);
    }
    dtmf_rx_free(rx);
    std::printf("%s\n", keys.c_str());
    return 0;
}
