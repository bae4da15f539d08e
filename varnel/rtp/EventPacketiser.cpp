#include "varnel/rtp/EventPacketiser.h"

#include <algorithm>
#include <stdexcept>

#include "varnel/rtp/ByteOrder.h"

namespace Quorvex::VarnelNet::Rtp {

namespace {

constexpr std::uint64_t kLongestSegment = 0xFFFF;
constexpr int kFinalRepeats = 2;  // sent three times in all
constexpr std::uint8_t kLoudest = 63;

}  // namespace

std::string CheckEventSpans(const std::vector<EventSpan>& spans, std::uint64_t samples) {
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const EventSpan& s = spans[i];
        const std::string which = "event " + std::to_string(i + 1) + " (code " + std::to_string(s.code) + ")";
        if (s.first >= s.end) return which + " is empty";
        if (s.end > samples) return which + " ends after the audio's " + std::to_string(samples) + " samples";
        if (s.volume > kLoudest) return which + " has volume " + std::to_string(s.volume) + ", above 63";
        if (i > 0 && s.first < spans[i - 1].end) return which + " starts before the event before it ends";
    }
    return "";
}

EventPacketiser::EventPacketiser(std::uint32_t slotSamples) : m_slotSamples(slotSamples) { m_repeats.reserve(8); }

void EventPacketiser::Add(const EventSpan& span) {
    if (span.first >= span.end || span.volume > kLoudest || (!m_spans.empty() && span.first < m_spans.back().end)) {
        throw std::invalid_argument("an event span out of order, empty or louder than 63");
    }
    m_spans.push_back(span);
}

EventPacket EventPacketiser::Packet(std::uint64_t duration, bool end) {
    const EventSpan& span = m_spans[m_next - 1];
    EventPacket packet;
    packet.start = m_segmentStart;
    packet.marker = m_marker;
    m_marker = false;
    packet.payload[0] = span.code;
    packet.payload[1] = static_cast<std::uint8_t>((end ? 0x80 : 0x00) | span.volume);
    PutBig16(packet.payload.data() + 2, static_cast<std::uint16_t>(duration));
    return packet;
}

void EventPacketiser::SendFinal(const EventPacket& packet, std::vector<EventPacket>& out) {
    out.push_back(packet);
    EventPacket again = packet;
    again.marker = false;
    m_repeats.push_back({again, kFinalRepeats});
}

bool EventPacketiser::Slot(std::uint64_t slot, std::vector<EventPacket>& out) {
    for (Repeat& r : m_repeats) {
        out.push_back(r.packet);
        --r.left;
    }
    std::erase_if(m_repeats, [](const Repeat& r) { return r.left == 0; });

    const std::uint64_t slotEnd = (slot + 1) * m_slotSamples;
    bool sounds = false;
    for (;;) {
        bool startsHere = false;
        if (!m_active) {
            if (m_next == m_spans.size() || m_spans[m_next].first >= slotEnd) break;
            m_segmentStart = m_spans[m_next].first;
            m_marker = true;
            m_active = true;
            startsHere = true;
            ++m_next;
        }
        sounds = true;
        const std::uint64_t end = m_spans[m_next - 1].end;
        const std::uint64_t reached = std::min(end, slotEnd);
        while (reached - m_segmentStart > kLongestSegment) {
            SendFinal(Packet(kLongestSegment, false), out);
            m_segmentStart += kLongestSegment;
        }
        if (end > slotEnd) {
            out.push_back(Packet(reached - m_segmentStart, false));
            break;
        }
        // An event within one slot starts without the E bit all the same: receivers that take
        // a key from its start packet miss one that begins already ended.
        if (startsHere) out.push_back(Packet(end - m_segmentStart, false));
        SendFinal(Packet(end - m_segmentStart, true), out);
        m_active = false;
    }
    return sounds;
}

}  // namespace Quorvex::VarnelNet::Rtp
