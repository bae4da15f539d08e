#include "cli/RtpOutput.h"

#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "cli/Failure.h"
#include "cli/Interrupt.h"
#include "cli/Progress.h"
#include "cli/Sink.h"
#include "cli/Text.h"
#include "varnel/render/ByteSink.h"
#include "varnel/render/Outputs.h"
#include "varnel/rtp/RealTimePriority.h"
#include "varnel/rtp/Session.h"
#include "varnel/script/RequestError.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

constexpr const char* kStandardOutput = "-";
constexpr const char* kPcapRefusal = "Unable to create or write this pcap file.";
constexpr const char* kSdpRefusal = "Unable to create or write this session description file.";

std::string OutputName(const std::string& path) { return path == kStandardOutput ? "standard output" : Printable(path); }

void WriteDescription(const Options& options, const Rtp::Session& session, const Rtp::Endpoint& destination, std::FILE* out) {
    if (options.sdpPath.empty()) return;
    const std::string sdp = session.Description(destination);
    const std::unique_ptr<Render::ByteSink> sink = OpenSink(options.sdpPath, out, kSdpRefusal);
    sink->Write(sdp.data(), sdp.size());
    sink->Finish();
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// "812 RTP packets (750 audio, 62 events, 0 text), 8000 Hz G.711 mu-law, ptime 20 ms, 15.000 s, SSRC 0x..."
std::string SessionText(const Rtp::Session& session, const Script::Rendering& rendering) {
    const Rtp::SessionCounts& c = session.Counts();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f s", rendering.TotalSeconds());
    return std::to_string(c.Total()) + " RTP packets (" + std::to_string(c.audio) + " audio, " + std::to_string(c.events) +
           " events, " + std::to_string(c.text) + " text), " + rendering.FormatText() + ", ptime " +
           std::to_string(session.Options().ptimeMs) + " ms, " + seconds + ", SSRC " + Hex(session.Plan().audio.ssrc);
}

bool RefuseTerminal(const std::string& path, std::FILE* out) {
    return path == kStandardOutput && ::isatty(::fileno(out));
}

void WarnOfShortKeys(const Options& options, const Script::Rendering& rendering, std::FILE* err) {
    if (const std::string warning = Rtp::ShortKeyWarning(rendering, options.rtp); !warning.empty()) {
        std::fprintf(err, "varnel: warning: %s\n", warning.c_str());
    }
}

}  // namespace

void WritePcapOutput(const Options& options, Script::Rendering& rendering, std::FILE* out, std::FILE* err) {
    if (RefuseTerminal(options.outputPath, out)) {
        throw Script::RequestError("--pcap - writes binary data: redirect standard output to a file or a pipe");
    }
    Rtp::Session session(rendering, options.rtp);
    WarnOfShortKeys(options, rendering, err);
    const std::uint64_t start = Render::PcapStart(options.rtp);
    WriteDescription(options, session, options.rtp.Destination(), out);
    const bool toStream = options.outputPath == kStandardOutput;
    Render::Tally tally;
    try {
        const std::unique_ptr<Render::ByteSink> sink = OpenSink(options.outputPath, out, kPcapRefusal);
        Progress progress(err, ::isatty(::fileno(err)) != 0, session.Samples(), rendering.BytesPerSecond());
        Render::WritePcap(session, *sink, start, toStream, {StopIfInterrupted, [&](std::uint64_t done) { progress.Update(done); }},
                          tally);
        sink->Finish();
    } catch (const Interrupted& e) {
        throw Interrupted(e.Signal(), toStream ? "standard output ends after " + std::to_string(tally.packetsWritten) + " packets"
                                          : "nothing written to " + Printable(options.outputPath));
    }
    std::fprintf(err, "varnel: wrote %s: %s, %s to %s\n", OutputName(options.outputPath).c_str(),
                 SessionText(session, rendering).c_str(), options.rtp.Source().Text().c_str(),
                 options.rtp.Destination().Text().c_str());
}

void SendRtpOutput(const Options& options, Script::Rendering& rendering, std::FILE* out, std::FILE* err) {
    Rtp::Session session(rendering, options.rtp);
    const Rtp::Endpoint destination = Rtp::Resolve(Rtp::ParseHostPort(options.rtpTarget, "rtp"), "rtp");
    const std::string context = "--rtp " + destination.Text();
    std::unique_ptr<Rtp::UdpSender> sender;
    try {
        sender = std::make_unique<Rtp::UdpSender>(destination, options.rtp.source, options.rtp.ttyRtt);
    } catch (const Rtp::SendFailure& f) {
        throw Failure(context, f.what());
    }
    if (options.verbose && !sender->UnmarkedReason().empty()) {
        std::fprintf(err, "varnel: the packets leave without DSCP EF (46), which the pcap's carry: %s\n",
                     sender->UnmarkedReason().c_str());
    }
    WarnOfShortKeys(options, rendering, err);
    WriteDescription(options, session, destination, out);
    const Rtp::RealTimePriority priority;
    if (!priority.Active()) {
        std::fprintf(err, "varnel: warning: sent at normal priority (SCHED_FIFO needs root, CAP_SYS_NICE or an RLIMIT_RTPRIO): "
                          "with every core busy, packets may leave late\n");
    }
    try {
        Rtp::SendLive(session, *sender, StopIfInterrupted);
    } catch (const Rtp::SendFailure& f) {
        throw Failure(context, f.what());
    } catch (const Interrupted& e) {
        throw Interrupted(e.Signal(), "sent " + std::to_string(sender->Sent()) + " packets to " + destination.Text());
    }
    std::fprintf(err, "varnel: sent %s to %s%s\n", SessionText(session, rendering).c_str(), destination.Text().c_str(),
                 priority.Active() ? ", at real-time priority" : "");
}

void WriteSdpOutput(const Options& options, Script::Rendering& rendering, std::FILE* out) {
    const Rtp::Session session(rendering, options.rtp);
    WriteDescription(options, session, options.rtp.Destination(), out);
}

}  // namespace Quorvex::VarnelNet::Cli
