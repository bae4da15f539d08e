#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "varnel/detect/DtmfDetector.h"
#include "varnel/detect/PcapStreams.h"

namespace Quorvex::VarnelNet::Detect {

// A live RTP stream heard as it arrives: the packets of the first synchronisation source seen,
// put back in order of their sequence numbers in a buffer of kDepth packets (a packet goes as
// soon as those before it have; a missing one is given up once kDepth packets came after it,
// a late or repeated one dropped); their G.711 audio fed to a DTMF detector at its timestamp,
// silence where packets are missing (at most kLongestGap of it: a longer jump is bridged by that
// much), and their telephone events reported once their end bit comes, or unended when the
// next begins or the stream ends. Times count samples from the stream's first packet as the
// detector was fed them. Nothing is allocated per packet.
class LiveStream {
public:
    static constexpr std::size_t kDepth = 8;
    static constexpr std::size_t kLargestPayload = 1500;
    static constexpr std::uint64_t kLongestGap = 10 * kStreamRate;

    using KeySink = std::function<void(const DtmfEvent&)>;
    using EventSink = std::function<void(const TelephoneEvent&)>;

    LiveStream(KeySink keys, EventSink events);

    // One UDP payload; what is not RTP, or of another source, or longer than kLargestPayload is
    // passed over.
    void Add(std::span<const std::uint8_t> datagram);
    // The stream has ended: the packets held go, the key and the event still sounding are told.
    void Finish();
    // The packets of the stream taken.
    std::uint64_t Packets() const { return packets_; }

private:
    struct Slot {
        bool held = false;
        std::uint64_t sequence = 0;  // extended past the 16 bits' wrap
        std::uint32_t timestamp = 0;
        std::uint8_t payloadType = 0;
        std::size_t length = 0;
        std::array<std::uint8_t, kLargestPayload> bytes{};
    };

    void ReleaseNext();
    void Play(std::uint64_t first, std::uint8_t payloadType, std::span<const std::uint8_t> codes);
    void Event(std::uint64_t first, std::span<const std::uint8_t> payload);
    void TellEvent();

    DtmfDetector detector_;
    EventSink events_;
    std::array<Slot, kDepth> slots_{};
    bool started_ = false;
    std::uint32_t ssrc_ = 0;
    std::uint64_t packets_ = 0;
    std::uint16_t highest_ = 0;          // the highest sequence number seen
    std::uint64_t highestExtended_ = 0;  // and extended
    std::uint64_t next_ = 0;             // the extended sequence number that goes next
    std::uint32_t lastTimestamp_ = 0;    // of the last packet that went
    std::int64_t lastOffset_ = 0;        // its timestamp from the first packet's, extended
    std::uint64_t skipped_ = 0;          // samples of jumps beyond kLongestGap not fed
    std::uint64_t fed_ = 0;              // samples fed to the detector
    TelephoneEvent event_;
    bool eventOn_ = false;
    bool eventTold_ = false;
};

}  // namespace Quorvex::VarnelNet::Detect
