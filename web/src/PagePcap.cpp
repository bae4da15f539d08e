#include "PagePcap.h"

#include <algorithm>
#include <cstdint>

#include "JsonText.h"
#include "PageRendering.h"
#include "varnel/render/ByteSink.h"
#include "varnel/render/Job.h"
#include "varnel/render/Outputs.h"
#include "varnel/rtp/DatagramFramer.h"
#include "varnel/rtp/RtpHeader.h"
#include "varnel/rtp/Session.h"
#include "varnel/script/RequestError.h"

namespace Quorvex::VarnelNet::Web {

namespace {

// A record's bytes besides its audio at most.
constexpr std::size_t kRecordOverhead =
    Rtp::PcapSavefile::kRecordHeaderBytes + Rtp::DatagramFramer::kMostHeaderBytes + Rtp::RtpHeader::kSize;

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
    const Render::Job job{PageRequests(script), options, session};
    const std::unique_ptr<Script::Rendering> rendering = Render::OpenRendering(job);
    // A pcap takes at most about twice its audio (at 10 ms, 80 bytes of it in 150), and must fit
    // the memory's sizes (32 bits in WebAssembly).
    CheckPageLimit(*rendering, std::min<std::uint64_t>(maxBytes, SIZE_MAX / 8));
    Rtp::Session rtp(*rendering, session);
    PagePcap page;
    const std::size_t slot = rtp.Plan().slotSamples;
    const auto audioPackets = static_cast<std::size_t>(rtp.Samples() / slot) + 1;  // the audio fits the memory, checked
    const auto slotBytes = static_cast<std::size_t>(rtp.Plan().audioFormat.BytesOf(slot));
    page.file.reserve(Rtp::PcapSavefile::kHeaderBytes + audioPackets * (kRecordOverhead + slotBytes));
    Render::MemorySink sink(page.file);
    Render::Tally tally;
    Render::WritePcap(rtp, sink, Render::PcapStart(session), false, {}, tally);
    page.summary = Summary(rtp, *rendering);
    return page;
}

}  // namespace Quorvex::VarnelNet::Web
