#include "Rtp.h"

#include "varnel/facade/Exceptions.h"
#include "varnel/render/ByteSink.h"
#include "varnel/render/Outputs.h"
#include "varnel/rtp/RealTimePriority.h"
#include "varnel/rtp/Session.h"
#include "varnel/script/RequestError.h"

using namespace Quorvex::VarnelNet;

namespace varnel_python {

namespace {

constexpr const char* kPcapRefusal = "Unable to create or write this pcap file.";

}  // namespace

std::uint64_t WritePcapFile(Render::Job job, const Rtp::SessionOptions& options, const std::string& path,
                            const CheckSignals& check) {
    job.rtp = options;
    const std::unique_ptr<Script::Rendering> rendering = Render::OpenRendering(job);
    Rtp::Session session(*rendering, options);
    try {
        Render::FileSink sink(path, kPcapRefusal);
        Render::Tally tally;
        Render::WritePcap(session, sink, Render::PcapStart(options), false, {check, {}}, tally);
        sink.Finish();
    } catch (const Render::OutputFailure& f) {
        throw COMException(f.what(), E_FAIL);
    }
    return session.Counts().Total();
}

std::uint64_t SendRtp(Render::Job job, const Rtp::SessionOptions& options, const std::string& host, std::uint16_t port,
                      const CheckSignals& check) {
    job.rtp = options;
    const std::unique_ptr<Script::Rendering> rendering = Render::OpenRendering(job);
    Rtp::Session session(*rendering, options);
    if (port == 0) throw Script::RequestError("port 0: give a port from 1 to 65535");
    const Rtp::Endpoint destination = Rtp::Resolve({host, port}, "rtp");
    Rtp::UdpSender sender(destination, options.source, options.ttyRtt);
    const Rtp::RealTimePriority priority;
    Rtp::SendLive(session, sender, check);
    return sender.Sent();
}

}  // namespace varnel_python
