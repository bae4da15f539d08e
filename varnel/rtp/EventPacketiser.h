#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "varnel/rtp/ByteOrder.h"
#include "varnel/rtp/Events.h"

namespace Quorvex::VarnelNet::Rtp {

// One packet of a telephone event (RFC 4733 section 2.3): the first sample of its segment,
// which is its RTP timestamp once the stream's first timestamp is added, the marker (the
// event's first packet), and the four payload bytes (event, E|R|volume, duration).
struct EventPacket {
    std::uint64_t start = 0;
    bool marker = false;
    std::array<std::uint8_t, 4> payload{};

    std::uint8_t Code() const { return payload[0]; }
    bool End() const { return (payload[1] & 0x80) != 0; }
    std::uint16_t Duration() const { return GetBig16(payload.data() + 2); }
};

// Why the spans cannot be sent as events of a stream of `samples` samples (not in order,
// overlapping, empty, past the end, a volume above 63), or an empty text.
std::string CheckEventSpans(const std::vector<EventSpan>& spans, std::uint64_t samples);

// Turns event spans into the packets of RFC 4733, slot by slot, a slot being one packet time
// of the audio. An event starts in the slot that holds its first sample, with the marker; its
// timestamp is its first sample, and every slot it sounds in carries one packet whose duration
// reaches the end of that slot, so that it grows by a packet time per update. The slot holding
// its last sample carries the final packet, whose duration is the event's exact length and
// which has the E bit; it is sent again in each of the next two slots. An event that starts and
// ends in one slot sends a start packet (the marker, its length, no E bit) before its final one. An event longer than
// the duration field holds (0xFFFF) goes on in segments: the packet that closes a segment
// reports 0xFFFF without the E bit (and is sent three times too), and the next segment starts
// 0xFFFF samples later, without the marker. The audio of every slot an event sounds in is
// replaced by the event.
class EventPacketiser {
public:
    explicit EventPacketiser(std::uint32_t slotSamples);

    // Adds the next span, which starts after the one before ends, no later than the slot it
    // starts in is asked for, with a volume of at most 63. Throws std::invalid_argument
    // otherwise.
    void Add(const EventSpan& span);

    // Appends the event packets of slot `slot` (samples [slot * slotSamples, + slotSamples)) to
    // out, in the order they go: repeated final packets first. Slots are asked for in order,
    // from 0. Returns whether an event sounds in the slot.
    bool Slot(std::uint64_t slot, std::vector<EventPacket>& out);

    // Whether a later slot still has a packet to send.
    bool Pending() const { return m_next < m_spans.size() || m_active || !m_repeats.empty(); }

private:
    struct Repeat {
        EventPacket packet;
        int left = 0;
    };

    EventPacket Packet(std::uint64_t duration, bool end);
    void SendFinal(const EventPacket& packet, std::vector<EventPacket>& out);

    std::vector<EventSpan> m_spans;
    std::uint32_t m_slotSamples;
    std::size_t m_next = 0;  // the next span to start
    bool m_active = false;   // m_spans[m_next - 1] sounds
    bool m_marker = false;   // its next packet is its first
    std::uint64_t m_segmentStart = 0;
    std::vector<Repeat> m_repeats;
};

}  // namespace Quorvex::VarnelNet::Rtp
