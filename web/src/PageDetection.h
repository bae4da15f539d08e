#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace Quorvex::VarnelNet::Web {

// What the page shows of a recording dropped on it: the labels `varnel detect --json` prints for
// the same file (JSON lines), the rate and the samples for the waveform (a capture's first RTP
// stream's audio, at 8000 Hz).
struct PageDetection {
    int rate = 0;
    std::string labels;
    std::vector<float> samples;
};

// Reads a WAV file (any the tool reads: PCM or G.711, its first channel) or a pcap (each RTP
// stream's audio, telephone events and text) and hears it as `varnel detect` does. Throws
// Detect::ReadError in the tool's words.
PageDetection DetectForPage(std::span<const std::uint8_t> file);

}  // namespace Quorvex::VarnelNet::Web
