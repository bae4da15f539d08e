// spandsp's Caller-ID receiver (adsi_rx) on a WAV file of 8000 Hz: prints each message it
// decodes, a field a line (NUMBER, NAME, DATE, or the field's type in hex). A receiver for
// `varnel score`:
//   varnel score DIR --pattern 'NUMBER (\d+)' -- spandsp_cid class {}     (Bell 202)
//   varnel score DIR --pattern 'NUMBER (\d+)' -- spandsp_cid clip {}      (ETSI V.23)

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "WaveSamples.h"

namespace {

adsi_rx_state_t* g_rx = nullptr;

void OnMessage(void*, const std::uint8_t* message, int length) {
    std::printf("MESSAGE 0x%02X\n", length > 0 ? message[0] : 0);
    int pos = -1;
    for (;;) {
        std::uint8_t type = 0;
        const std::uint8_t* body = nullptr;
        int bodyLength = 0;
        pos = adsi_next_field(g_rx, message, length, pos, &type, &body, &bodyLength);
        if (bodyLength < 0 || pos <= 0) break;
        const std::string value(reinterpret_cast<const char*>(body), static_cast<std::size_t>(bodyLength));
        switch (type) {
            case 0x01: std::printf("DATE %s\n", value.c_str()); break;
            case 0x02: std::printf("NUMBER %s\n", value.c_str()); break;
            case 0x07: std::printf("NAME %s\n", value.c_str()); break;
            default: std::printf("FIELD 0x%02X %s\n", type, value.c_str()); break;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "class") != 0 && std::strcmp(argv[1], "clip") != 0)) {
        std::fprintf(stderr, "usage: spandsp_cid class|clip FILE.wav\n");
        return 2;
    }
    const auto wave = receiver::ReadWave(argv[2]);
    if (!wave) return 1;
    if (wave->rate != 8000) {
        std::fprintf(stderr, "%s: %u Hz: the receiver takes 8000 Hz\n", argv[2], wave->rate);
        return 1;
    }
    const int standard = std::strcmp(argv[1], "class") == 0 ? ADSI_STANDARD_CLASS : ADSI_STANDARD_CLIP;
    g_rx = adsi_rx_init(nullptr, standard, OnMessage, nullptr);
    for (std::size_t at = 0; at < wave->samples.size(); at += 160) {
        const int n = static_cast<int>(std::min<std::size_t>(160, wave->samples.size() - at));
        adsi_rx(g_rx, wave->samples.data() + at, n);
    }
    adsi_rx_free(g_rx);
    return 0;
}
