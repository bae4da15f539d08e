#include "PagePcap.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "JsonText.h"
#include "PageRendering.h"
#include "varnel/rtp/DatagramFramer.h"
#include "varnel/rtp/RtpHeader.h"
#include "varnel/rtp/Session.h"
#include "varnel/script/RequestError.h"

namespace Quorvex::VarnelNet::Web {

namespace {

// A record's bytes besides its audio at most.
constexpr std::size_t kRecordOverhead =
    Rtp::PcapSavefile::kRecordHeaderBytes + Rtp::DatagramFramer::kMostHeaderBytes + Rtp::RtpHeader::kSize;

std::uint64_t NowMicroseconds() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch()).count());
}

std::string Summary(const Rtp::Session& session, const Script::Rendering& rendering) {
    const Rtp::SessionCounts& counts = session.Counts();
    JsonText json;
    json.BeginObject().Key("format").String(rendering.FormatText()).Key("seconds").Number(rendering.TotalSeconds());
    json.Key("ptime").Integer(session.Options().ptimeMs).Key("ssrc").Integer(session.Plan().audio.ssrc);
    json.Key("packets").Integer(static_cast<std::int64_t>(counts.Total()));
    json.Key("audio").Integer(static_cast<std::int64_t>(counts.audio));
    json.Key("events").Integer(static_cast<std::int64_t>(counts.events));
    json.Key("text").Integer(static_cast<std::int64_t>(counts.text));
    json.Key("source").String(session.Options().Source().Text());
    json.Key("destination").String(session.Options().Destination().Text());
    json.EndObject();
    return json.Text();
}

}  // namespace

PagePcap PcapForPage(const Script::RenderOptions& options, const Rtp::SessionOptions& session, std::string_view script,
                     std::uint64_t maxBytes) {
    if (const std::string refusal = Rtp::CheckSessionOptions(session); !refusal.empty()) throw Script::RequestError(refusal);
    const Script::RenderOptions rtpOptions = Rtp::RenderOptionsFor(options, session);
    const Script::Requests requests = PageRequests(script);
    Script::Rendering rendering(rtpOptions, requests);
    // A pcap takes at most about twice its audio (at 10 ms, 80 bytes of it in 150), and must fit
    // the memory's sizes (32 bits in WebAssembly).
    CheckPageLimit(rendering, std::min<std::uint64_t>(maxBytes, SIZE_MAX / 8));
    Rtp::Session rtp(rendering, session);
    const std::uint64_t start = session.pcapStartMicroseconds.value_or(NowMicroseconds());
    PagePcap page;
    const std::size_t slot = rtp.Plan().slotSamples;
    const auto audioPackets = static_cast<std::size_t>(rtp.Samples() / slot) + 1;  // the audio fits the memory, checked
    page.file.reserve(Rtp::PcapSavefile::kHeaderBytes + audioPackets * (kRecordOverhead + slot));
    Rtp::WritePcap(rtp, start, [&](const std::uint8_t* data, std::size_t length) { page.file.insert(page.file.end(), data, data + length); });
    page.summary = Summary(rtp, rendering);
    return page;
}

}  // namespace Quorvex::VarnelNet::Web
