#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "varnel/script/HeardSignalLabels.h"

namespace Quorvex::VarnelNet::Web {

// What was heard as the page's timeline takes it, a JSON array of its rows in the order of
// `varnel detect --json`: [{dbm0: [LEVEL...], labels: [LABEL...]}...], the labels those lines
// (their objects), the levels to a tenth of a dB as the tool's timeline gives them.
std::string EventsJson(const std::vector<Script::HeardEvent>& events);

// What the page shows of a recording dropped on it: what was heard (EventsJson), the rate and
// the samples for the waveform (a capture's first RTP stream's audio, at 8000 Hz).
struct PageDetection {
    int rate = 0;
    std::string events;
    std::vector<float> samples;
};

// Reads a WAV file (any the tool reads: PCM or G.711, its first channel) or a pcap (each RTP
// stream's audio, telephone events and text) and hears it as `varnel detect` does. Throws
// Detect::ReadError in the tool's words.
PageDetection DetectForPage(std::span<const std::uint8_t> file);

}  // namespace Quorvex::VarnelNet::Web
