#pragma once

#include <cstdio>

#include "cli/Options.h"
#include "varnel/script/Rendering.h"

namespace Quorvex::VarnelNet::Cli {

// The tool's RTP outputs, on a rendering already measured. Each writes the session description
// first when --sdp asks for it. They throw RequestError for what is refused before anything is
// written or sent (a format other than 8000 Hz G.711, a host that does not resolve), Failure
// when a file cannot be written or the system refuses to send, and Interrupted, saying how far
// they came, when a signal stops them.

// --pcap FILE: the packets as a libpcap file, replacing FILE only once complete (or on standard
// output); a line on err says what was written.
void WritePcapOutput(const Options& options, Script::Rendering& rendering, std::FILE* out, std::FILE* err);

// --rtp HOST:PORT: the packets sent live, each at its time; a line on err says what was sent.
void SendRtpOutput(const Options& options, Script::Rendering& rendering, std::FILE* out, std::FILE* err);

// --sdp FILE alone: the session description of what --rtp-dst would receive.
void WriteSdpOutput(const Options& options, Script::Rendering& rendering, std::FILE* out);

}  // namespace Quorvex::VarnelNet::Cli
