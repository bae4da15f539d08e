#include "cli/DetectListen.h"

#include <array>
#include <chrono>
#include <optional>

#include "cli/DetectFrontEnd.h"
#include "cli/Interrupt.h"
#include "cli/Text.h"
#include "cli/UsageError.h"
#include "varnel/detect/LiveStream.h"
#include "varnel/rtp/UdpReceiver.h"

namespace Quorvex::VarnelNet::Cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLongestWaitMilliseconds = 100;  // between looks at the clock and at signals

int MillisecondsUntil(Clock::time_point when) {
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count());
}

}  // namespace

int RunListen(const DetectOptions& detect, const LivePrinter& printer, ExpectReport* expect, std::FILE* out, std::FILE* err) {
    std::optional<Rtp::UdpReceiver> receiver;
    try {
        receiver.emplace(*detect.listen);
    } catch (const Rtp::ReceiveFailure& e) {
        std::fprintf(err, "varnel: %s\n", e.what());
        return kExitFailure;
    }
    std::vector<HeardStream> heard{{"", Detect::kStreamRate, {}}};
    std::vector<Script::Label>& labels = heard.front().labels;
    Detect::RtpStream events;
    Detect::LiveStream stream(
        [&](const Detect::DtmfEvent& key) {
            printer.key(key, labels);
            std::fflush(out);
        },
        [&](const Detect::TelephoneEvent& event) {
            events.events.assign(1, event);
            printer.events(events, labels);
            std::fflush(out);
        });
    std::fprintf(err, "varnel: listening on %s\n", receiver->Local().Text().c_str());
    std::fflush(err);
    const Clock::time_point start = Clock::now();
    std::optional<Clock::time_point> lastPacket;
    std::array<std::uint8_t, 65536> datagram{};
    while (CaughtSignal() == 0) {
        int wait = kLongestWaitMilliseconds;
        if (detect.seconds) wait = std::min(wait, MillisecondsUntil(start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*detect.seconds))));
        if (lastPacket) wait = std::min(wait, MillisecondsUntil(*lastPacket + std::chrono::milliseconds(kQuietMilliseconds)));
        if (wait <= 0) break;
        try {
            if (const auto bytes = receiver->Receive(datagram, wait)) {
                stream.Add(*bytes);
                if (stream.Packets() > 0) lastPacket = Clock::now();
            }
        } catch (const Rtp::ReceiveFailure& e) {
            std::fprintf(err, "varnel: %s\n", e.what());
            return kExitFailure;
        }
    }
    stream.Finish();
    int status = kExitSuccess;
    if (expect && !expect->Judge("RTP " + receiver->Local().Text(), false, heard, out)) status = kExitFailure;
    if (!WriteDetectOutputs(detect, heard, expect, err)) status = kExitFailure;
    return status;
}

}  // namespace Quorvex::VarnelNet::Cli
