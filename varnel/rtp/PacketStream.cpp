#include "varnel/rtp/PacketStream.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "varnel/rtp/RtpHeader.h"

namespace Quorvex::VarnelNet::Rtp {

namespace {

constexpr std::size_t kAudioBlock = 8192;

}  // namespace

PacketStream::PacketStream(const StreamPlan& plan, std::uint64_t samples, AudioSource source, StreamAnnotations& annotations)
    : m_plan(plan),
      m_samples(samples),
      m_bytes(plan.audioFormat.BytesOf(samples)),
      m_source(std::move(source)),
      m_annotations(annotations),
      m_events(plan.slotSamples),
      m_text(plan.t140Format, plan.audioFormat.clockRate),
      m_audio(kAudioBlock + static_cast<std::size_t>(plan.audioFormat.BytesOf(plan.slotSamples))),
      m_audioSequence(plan.audio.sequence),
      m_textSequence(plan.text.sequence),
      m_packet(RtpHeader::kSize + TextPacketiser::kMaxBlockBytes * 3 + 16) {
    m_slotEvents.reserve(8);
    if (samples == 0) TakeAnnotations();
    m_textPayload.reserve(TextPacketiser::kMaxBlockBytes * 3 + 16);
}

void PacketStream::ReadAudio(std::size_t bytes) {
    if (m_audioHave - m_audioUsed < bytes) {
        std::memmove(m_audio.data(), m_audio.data() + m_audioUsed, m_audioHave - m_audioUsed);
        m_audioHave -= m_audioUsed;
        m_audioUsed = 0;
        while (m_audioHave < bytes) {
            const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(kAudioBlock, m_bytes - m_audioPulled));
            const std::size_t n = room == 0 ? 0 : m_source(std::span(m_audio.data() + m_audioHave, std::max(room, kLeastAudioRoom)));
            if (n == 0 || n > room) {
                throw std::logic_error("the audio source gave " + std::to_string(m_audioPulled + n) + " bytes where " +
                                       std::to_string(m_bytes) + " were measured");
            }
            m_audioHave += n;
            m_audioPulled += n;
            TakeAnnotations();
        }
    }
}

void PacketStream::TakeAnnotations() {
    m_newEvents.clear();
    m_newText.clear();
    m_annotations.TakeNew(m_newEvents, m_newText);
    for (const EventSpan& span : m_newEvents) m_events.Add(span);
    for (const TextCharacter& character : m_newText) m_text.Add(character);
}

bool PacketStream::NextSlot() {
    const std::uint64_t first = m_slot * m_plan.slotSamples;
    if (first >= m_samples && !m_events.Pending()) return false;
    // The slot's audio first: the events that start in it are known once it is pulled.
    const std::uint64_t slotSamples = first < m_samples ? std::min<std::uint64_t>(m_plan.slotSamples, m_samples - first) : 0;
    m_slotAudioBytes = static_cast<std::size_t>(m_plan.audioFormat.BytesOf(slotSamples));
    if (m_slotAudioBytes > 0) ReadAudio(m_slotAudioBytes);
    m_slotAudio = m_slotAudioBytes > 0;
    m_slotEvents.clear();
    m_slotEventsSent = 0;
    const bool replaced = m_events.Slot(m_slot, m_slotEvents);
    if (replaced && m_slotAudio) {
        m_audioUsed += m_slotAudioBytes;
        m_slotAudio = false;
    }
    m_slotTime = first;
    ++m_slot;
    return true;
}

Packet PacketStream::Finish(StreamKind stream, std::uint64_t time, const RtpHeader& header, std::size_t payloadBytes) {
    header.Write(m_packet.data());
    return Packet{stream, time, std::span<const std::uint8_t>(m_packet.data(), RtpHeader::kSize + payloadBytes)};
}

bool PacketStream::Next(Packet& packet) {
    while (m_slotEventsSent == m_slotEvents.size() && !m_slotAudio) {
        if (!NextSlot()) {
            m_slotTime = UINT64_MAX;
            break;
        }
    }
    const std::optional<std::uint64_t> textTime = m_text.NextTime();
    if (textTime && *textTime < m_slotTime) {
        RtpHeader header;
        header.marker = m_text.Build(m_textPayload);
        header.payloadType = m_plan.redFormat.type;
        header.sequence = m_textSequence++;
        header.timestamp =
            m_plan.text.timestamp + static_cast<std::uint32_t>(m_plan.redFormat.TicksAt(*textTime, m_plan.audioFormat.clockRate));
        header.ssrc = m_plan.text.ssrc;
        std::memcpy(m_packet.data() + RtpHeader::kSize, m_textPayload.data(), m_textPayload.size());
        packet = Finish(StreamKind::Text, *textTime, header, m_textPayload.size());
        return true;
    }
    if (m_slotTime == UINT64_MAX) return false;

    RtpHeader header;
    header.sequence = m_audioSequence++;
    header.ssrc = m_plan.audio.ssrc;
    std::size_t payloadBytes = 0;
    if (m_slotEventsSent < m_slotEvents.size()) {
        const EventPacket& event = m_slotEvents[m_slotEventsSent++];
        header.marker = event.marker || m_firstAudio;
        header.payloadType = m_plan.eventFormat.type;
        header.timestamp = m_plan.audio.timestamp + static_cast<std::uint32_t>(event.start);
        payloadBytes = event.payload.size();
        std::memcpy(m_packet.data() + RtpHeader::kSize, event.payload.data(), payloadBytes);
    } else {
        header.marker = m_firstAudio;
        header.payloadType = m_plan.audioFormat.type;
        header.timestamp = m_plan.audio.timestamp + static_cast<std::uint32_t>(m_slotTime);
        payloadBytes = m_slotAudioBytes;
        std::memcpy(m_packet.data() + RtpHeader::kSize, m_audio.data() + m_audioUsed, payloadBytes);
        m_audioUsed += payloadBytes;
        m_slotAudio = false;
    }
    m_firstAudio = false;
    packet = Finish(StreamKind::Audio, m_slotTime, header, payloadBytes);
    return true;
}

}  // namespace Quorvex::VarnelNet::Rtp
