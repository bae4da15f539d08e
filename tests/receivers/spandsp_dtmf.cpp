// spandsp's DTMF receiver (dtmf_rx, its default settings) on a WAV file of 8000 Hz: prints the
// keys it detects on one line. --filter-dialtone turns on its dial-tone filter, as its own dial
// tone test does; --times prints a line "KEY START END" (seconds) a key instead, from its
// real-time reports of each key's start and end. A receiver for `varnel score`:
//   varnel score DIR -- spandsp_dtmf [--filter-dialtone] [--times] {}

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "WaveSamples.h"

namespace {

struct Timeline {
    std::size_t sample = 0;  // samples fed so far
    int key = 0;
    std::size_t start = 0;
};

void Report(void* user, int code, int, int) {
    Timeline& t = *static_cast<Timeline*>(user);
    if (t.key != 0) std::printf("%c %.4f %.4f\n", t.key, static_cast<double>(t.start) / 8000.0, static_cast<double>(t.sample) / 8000.0);
    t.key = code;
    t.start = t.sample;
}

}  // namespace

int main(int argc, char** argv) {
    bool filterDialTone = false, times = false;
    int arg = 1;
    for (; arg < argc - 1; ++arg) {
        filterDialTone |= std::string_view(argv[arg]) == "--filter-dialtone";
        times |= std::string_view(argv[arg]) == "--times";
    }
    if (argc < 2 || arg - 1 != (filterDialTone ? 1 : 0) + (times ? 1 : 0)) {
        std::fprintf(stderr, "usage: spandsp_dtmf [--filter-dialtone] [--times] FILE.wav\n");
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
    Timeline timeline;
    dtmf_rx_state_t* rx = dtmf_rx_init(
        nullptr, [](void* user, const char* digits, int n) { static_cast<std::string*>(user)->append(digits, static_cast<std::size_t>(n)); },
        &keys);
    // The twist limits and the threshold stay at spandsp's defaults (negative: unchanged).
    if (filterDialTone) dtmf_rx_parms(rx, 1, -1, -1, -99);
    if (times) dtmf_rx_set_realtime_callback(rx, Report, &timeline);
    const std::size_t block = times ? 1 : 160;  // a sample at a time: each report at its sample
    for (std::size_t at = 0; at < wave->samples.size(); at += block) {
        const int n = static_cast<int>(std::min<std::size_t>(block, wave->samples.size() - at));
        timeline.sample = at + static_cast<std::size_t>(n);
        dtmf_rx(rx, wave->samples.data() + at, n);
    }
    Report(&timeline, 0, 0, 0);
    dtmf_rx_free(rx);
    if (!times) std::printf("%s\n", keys.c_str());
    return 0;
}
