#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/rtp/SessionOptions.h"
#include "varnel/script/Rendering.h"

namespace Quorvex::VarnelNet::Web {

// The pcap of a script for the page: the file `varnel --pcap` writes for the same script,
// settings and RTP options (the library's own session and pcap writer, into memory), and a
// summary as JSON:
//   {format, seconds, ptime, ssrc, packets, audio, events, text, source, destination}
struct PagePcap {
    std::vector<std::uint8_t> file;
    std::string summary;
};

// Renders the script as the tool's --pcap does: G.711 mu-law at 8000 Hz unless the settings say
// otherwise, time-stamped from the session's pcap start (else now). Refused with a RequestError,
// in the tool's words, before anything is written: options that do not go together, what the
// language refuses, ttyfile: requests, a rendering RTP cannot carry (another rate, not G.711),
// and audio of more than maxBytes.
PagePcap PcapForPage(const Script::RenderOptions& options, const Rtp::SessionOptions& session, std::string_view script,
                     std::uint64_t maxBytes);

}  // namespace Quorvex::VarnelNet::Web
