#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "varnel/rtp/EventPacketiser.h"
#include "varnel/rtp/Events.h"
#include "varnel/rtp/PayloadFormat.h"
#include "varnel/rtp/RtpHeader.h"
#include "varnel/rtp/StreamStart.h"
#include "varnel/rtp/TextPacketiser.h"

namespace Quorvex::VarnelNet::Rtp {

// The two RTP streams of a session: the audio (G.711 and telephone events, one SSRC) and the
// real-time text.
enum class StreamKind : std::uint8_t { Audio, Text };

// One RTP packet, header and payload, and when it leaves: samples of the audio's clock after
// the session's start. The bytes stay valid until the next call of PacketStream::Next.
struct Packet {
    StreamKind stream = StreamKind::Audio;
    std::uint64_t time = 0;
    std::span<const std::uint8_t> bytes;
};

// How the streams are laid out: the formats of the audio stream (the audio, the telephone
// events on its clock) and of the text stream (T.140 inside RED, which its packets carry).
struct StreamPlan {
    PayloadFormat audioFormat = kPcmu;
    std::uint32_t slotSamples = kPcmu.TicksIn(20);  // one packet time
    PayloadFormat eventFormat = TelephoneEventFormat(101, kPcmu);
    PayloadFormat t140Format = T140Format(98);
    PayloadFormat redFormat = RedFormat(100, T140Format(98));
    StreamStart audio;
    StreamStart text;
};

// Pulls the next bytes of the audio, in the plan's audio format, into the span (at least
// kLeastAudioRoom bytes of room) and returns how many; 0 at the end.
using AudioSource = std::function<std::size_t(std::span<std::uint8_t>)>;
inline constexpr std::size_t kLeastAudioRoom = 101;

// The events and the text of a stream, as they become known while its audio is pulled.
class StreamAnnotations {
public:
    virtual ~StreamAnnotations() = default;
    // Appends the events and characters not given before, in order. After the audio up to a
    // sample has been pulled, every event that starts there or earlier, and every character
    // ready by then, must have been given.
    virtual void TakeNew(std::vector<EventSpan>& events, std::vector<TextCharacter>& text) = 0;
};

// Annotations known from the start: all of them at the first call.
class FixedAnnotations final : public StreamAnnotations {
public:
    FixedAnnotations(std::vector<EventSpan> events, std::vector<TextCharacter> text)
        : m_events(std::move(events)), m_text(std::move(text)) {}
    void TakeNew(std::vector<EventSpan>& events, std::vector<TextCharacter>& text) override {
        events.swap(m_events);
        text.swap(m_text);
        m_events.clear();
        m_text.clear();
    }

private:
    std::vector<EventSpan> m_events;
    std::vector<TextCharacter> m_text;
};

// Packetises an audio stream of a known length with its events and text: packet k of the audio
// carries samples [k * slot, (k + 1) * slot) (the last one what is left) with timestamp
// start + k * slot, and leaves at k * slot; the first packet has the marker. Slots in which a
// telephone event sounds carry the event's packets instead (EventPacketiser); the audio clock
// goes on. Text packets (TextPacketiser) leave at their own times, after the audio of the same
// instant. Knows nothing of files or sockets: a pcap writer and a live sender take the same
// packets.
class PacketStream {
public:
    // samples: the audio's length, which the source must deliver exactly; annotations are asked
    // for what is new after each block of audio is pulled, and must outlive the stream.
    PacketStream(const StreamPlan& plan, std::uint64_t samples, AudioSource source, StreamAnnotations& annotations);

    // The next packet in the order they leave; false after the last. Throws std::logic_error
    // when the source delivers other than the bytes of `samples` samples, std::invalid_argument
    // when the annotations give an event or a character out of order.
    bool Next(Packet& packet);

private:
    bool NextSlot();
    void ReadAudio(std::size_t bytes);
    void TakeAnnotations();
    Packet Finish(StreamKind stream, std::uint64_t time, const RtpHeader& header, std::size_t payloadBytes);

    StreamPlan m_plan;
    std::uint64_t m_samples;
    std::uint64_t m_bytes;  // of the audio's samples
    AudioSource m_source;
    StreamAnnotations& m_annotations;
    std::vector<EventSpan> m_newEvents;
    std::vector<TextCharacter> m_newText;
    EventPacketiser m_events;
    TextPacketiser m_text;

    std::vector<std::uint8_t> m_audio;  // pulled and not yet sent: [m_audioUsed, m_audioHave)
    std::size_t m_audioUsed = 0;
    std::size_t m_audioHave = 0;
    std::uint64_t m_audioPulled = 0;

    std::uint64_t m_slot = 0;  // the next slot to fill
    std::vector<EventPacket> m_slotEvents;
    std::size_t m_slotEventsSent = 0;
    bool m_slotAudio = false;  // the current slot's audio is still to go
    std::size_t m_slotAudioBytes = 0;
    std::uint64_t m_slotTime = 0;

    std::uint16_t m_audioSequence;
    std::uint16_t m_textSequence;
    bool m_firstAudio = true;
    std::vector<std::uint8_t> m_packet;
    std::vector<std::uint8_t> m_textPayload;
};

}  // namespace Quorvex::VarnelNet::Rtp
