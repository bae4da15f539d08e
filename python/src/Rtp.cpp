#include "Rtp.h"

#include <chrono>

#include "varnel/facade/Exceptions.h"
#include "varnel/platform/FileOutput.h"
#include "varnel/rtp/RealTimePriority.h"
#include "varnel/rtp/Session.h"
#include "varnel/script/RequestError.h"

using namespace Quorvex::VarnelNet;

namespace varnel_python {

namespace {

std::uint64_t NowMicroseconds() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch()).count());
}

}  // namespace

std::uint64_t WritePcapFile(const RenderJob& job, const Rtp::SessionOptions& options, const std::string& path,
                            const CheckSignals& check) {
    Script::Rendering rendering(Rtp::RenderOptionsFor(job.options, options), job.requests);
    Rtp::Session session(rendering, options);
    FileOutput file;
    const auto fail = [&] {
        const std::string reason = "Unable to create or write this pcap file. (" + file.Reason() + ")";
        file.Discard();
        throw COMException(reason, E_FAIL);
    };
    if (!file.Create(path)) fail();
    try {
        Rtp::WritePcap(
            session, options.pcapStartMicroseconds.value_or(NowMicroseconds()),
            [&](const std::uint8_t* data, std::size_t length) {
                if (!file.Append(data, length)) fail();
            },
            [&] {
                if (session.Counts().Total() % 256 == 0) check();
            });
    } catch (...) {
        file.Discard();  // a stop leaves the old file, and no temporary one
        throw;
    }
    if (!file.Close()) fail();
    return session.Counts().Total();
}

std::uint64_t SendRtp(const RenderJob& job, const Rtp::SessionOptions& options, const std::string& host, std::uint16_t port,
                      const CheckSignals& check) {
    Script::Rendering rendering(Rtp::RenderOptionsFor(job.options, options), job.requests);
    Rtp::Session session(rendering, options);
    if (port == 0) throw Script::RequestError("port 0: give a port from 1 to 65535");
    const Rtp::Endpoint destination = Rtp::Resolve({host, port}, "rtp");
    Rtp::UdpSender sender(destination, options.source, options.ttyRtt);
    const Rtp::RealTimePriority priority;
    Rtp::SendLive(session, sender, check);
    return sender.Sent();
}

}  // namespace varnel_python
