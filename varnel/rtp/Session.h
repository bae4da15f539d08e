#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "varnel/options/Refusal.h"
#include "varnel/rtp/Events.h"
#include "varnel/rtp/PacketStream.h"
#include "varnel/rtp/PcapSavefile.h"
#include "varnel/rtp/SessionOptions.h"
#include "varnel/rtp/UdpSender.h"
#include "varnel/script/Rendering.h"

namespace Quorvex::VarnelNet::Rtp {

// How many packets of each kind a session sent.
struct SessionCounts {
    std::uint64_t audio = 0;
    std::uint64_t events = 0;
    std::uint64_t text = 0;
    std::uint64_t Total() const { return audio + events + text; }
};

// A script's rendering as RTP: the audio pulled block by block from the rendering (which must
// be G.711 at its clock rate: kPcmu or kPcma), the events and the text found in its labels
// as the options ask (LabelAnnotations) or given, the streams' starts drawn from the options'
// seed. Pcap files and live sends take their packets from here, so both carry the same packets.
class Session {
public:
    // The events and the text from the rendering's labels: it must label its requests when the
    // options send events or text (RenderOptionsFor). Throws RequestError when the rendering is
    // not G.711 at its clock rate, does not label what the options need, or the options do not go
    // together. The rendering must outlive the session, which pulls it.
    Session(Script::Rendering& rendering, const SessionOptions& options);
    // The events and the text as given; throws RequestError as above, and when they do not fit
    // the audio.
    Session(Script::Rendering& rendering, const SessionOptions& options, std::vector<EventSpan> events,
            std::vector<TextCharacter> text);

    const SessionOptions& Options() const { return m_options; }
    const StreamPlan& Plan() const { return m_plan; }
    std::uint64_t Samples() const { return m_samples; }
    // The session description of what the session sends to `destination`.
    std::string Description(const Endpoint& destination) const;

    // The next packet in the order they leave; false after the last.
    bool Next(Packet& packet);
    const SessionCounts& Counts() const { return m_counts; }

private:
    Session(Script::Rendering& rendering, const SessionOptions& options, std::unique_ptr<StreamAnnotations> annotations);

    SessionOptions m_options;
    StreamPlan m_plan;
    std::uint64_t m_samples;
    std::unique_ptr<StreamAnnotations> m_annotations;
    PacketStream m_packets;
    SessionCounts m_counts;
};

// Why the rendering cannot be sent as RTP (not G.711, not at G.711's clock rate): a refusal of
// the encoding or the rate with the values that would be taken, or nothing.
std::optional<Option::Refusal> CheckRtpFormat(const Script::Rendering& rendering);

// With --dtmf-mode rfc4733, a warning for the first DTMF request whose keys are shorter than the
// packet time (their start and end packets leave at once), or an empty text.
std::string ShortKeyWarning(const Script::Rendering& rendering, const SessionOptions& options);

// Why the rendering's mix cannot go with the session (its events and text come from the script's
// own labels), or nothing.
std::optional<Option::Refusal> CheckSessionMix(const Script::RenderOptions& render, const SessionOptions& options);

// The options of a rendering to send as RTP: PCMU at its clock rate unless the options' own
// settings say otherwise (they come after), and the labels the session needs. Throws
// RequestError for a mixed script with events or text, which come from the script's own labels.
Script::RenderOptions RenderOptionsFor(Script::RenderOptions render, const SessionOptions& options);

// Writes the session as a libpcap file through write (PcapSavefile): each packet a record of an
// Ethernet frame (DatagramFramer) from the options' Source() to their Destination() (the text
// between the ports 2 above), time-stamped at startMicroseconds (since 1970) plus its time.
// betweenPackets, when given, runs before each packet and may throw to stop. Throws
// RequestError before writing anything when the last time stamp would pass what the file can
// hold (the year 2106).
void WritePcap(Session& session, std::uint64_t startMicroseconds, const PcapSavefile::Write& write,
               const std::function<void()>& betweenPackets = {});

// Sends the session live through sender, each packet at its time on an absolute monotonic
// schedule that starts now (run it under a RealTimePriority, so that packets leave on time with
// every core busy). check runs before each packet and whenever a signal interrupts a wait, so
// that a stop asked for by a signal comes within one packet time; it may throw to stop. A send
// stopped by check (or by any other exception but a refused datagram) first ends the telephone
// event the receiver heard last (HeldEvent), then lets the exception go on. Throws SendFailure
// when the system refuses a datagram (a destination that answers with ICMP port unreachable
// stops the send, saying how many packets went). sender.Sent() counts the packets that went.
void SendLive(Session& session, UdpSender& sender, const std::function<void()>& check = {});

}  // namespace Quorvex::VarnelNet::Rtp
