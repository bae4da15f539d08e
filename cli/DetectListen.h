#pragma once

#include <cstdio>
#include <functional>
#include <vector>

#include "cli/DetectCommand.h"
#include "cli/DetectExpect.h"
#include "varnel/detect/DtmfDetector.h"
#include "varnel/detect/PcapStreams.h"

namespace Quorvex::VarnelNet::Cli {

// How the command prints what a live stream holds as it is heard, adding its labels: a key heard
// in the audio, a stream's telephone events.
struct LivePrinter {
    std::function<void(const Detect::DtmfEvent& key, std::vector<Script::Label>& heard)> key;
    std::function<void(const Detect::RtpStream& events, std::vector<Script::Label>& heard)> events;
};

// How long a listen goes on once packets stop coming: the call has ended.
inline constexpr int kQuietMilliseconds = 2000;

// varnel detect --rtp-listen: receives the RTP stream sent to the endpoint and prints what it
// holds as it comes, until SIGINT or SIGTERM, --duration, or kQuietMilliseconds without a packet
// once one came; then the verdict of --expect and the labels and JUnit files. Returns the
// verdict's status (0 without --expect), 1 when the socket fails or a file cannot be written.
int RunListen(const DetectOptions& detect, const LivePrinter& printer, ExpectReport* expect, std::FILE* out, std::FILE* err);

}  // namespace Quorvex::VarnelNet::Cli
