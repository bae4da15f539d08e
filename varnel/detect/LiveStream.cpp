#include "varnel/detect/LiveStream.h"

#include <algorithm>

#include "varnel/detect/RtpPacket.h"
#include "varnel/rtp/ByteOrder.h"
#include "varnel/signal/G711.h"

namespace Quorvex::VarnelNet::Detect {

namespace {

// Where extended sequence numbers start, so that packets before the first stay positive.
constexpr std::uint64_t kFirstExtended = std::uint64_t{1} << 32;

}  // namespace

LiveStream::LiveStream(KeySink keys, EventSink events) : detector_(kStreamRate, std::move(keys)), events_(std::move(events)) {}

void LiveStream::Add(std::span<const std::uint8_t> datagram) {
    const std::optional<RtpPacket> packet = ReadRtp(datagram);
    if (!packet || packet->payload.size() > kLargestPayload) return;
    if (!started_) {
        started_ = true;
        ssrc_ = packet->ssrc;
        highest_ = packet->sequence;
        highestExtended_ = next_ = kFirstExtended + packet->sequence;
        lastTimestamp_ = packet->timestamp;
    }
    if (packet->ssrc != ssrc_) return;
    const std::uint64_t sequence = highestExtended_ + static_cast<std::uint64_t>(static_cast<std::int16_t>(packet->sequence - highest_));
    if (sequence < next_) return;  // late, or sent again
    ++packets_;
    if (sequence > highestExtended_) {
        highestExtended_ = sequence;
        highest_ = packet->sequence;
    }
    while (sequence >= next_ + kDepth) ReleaseNext();
    Slot& slot = slots_[sequence % kDepth];
    if (slot.held) return;
    slot.held = true;
    slot.sequence = sequence;
    slot.timestamp = packet->timestamp;
    slot.payloadType = packet->payloadType;
    slot.length = packet->payload.size();
    std::copy(packet->payload.begin(), packet->payload.end(), slot.bytes.begin());
    while (slots_[next_ % kDepth].held) ReleaseNext();
}

void LiveStream::Finish() {
    for (std::size_t i = 0; i < kDepth; ++i) ReleaseNext();
    detector_.Finish();
    if (eventOn_ && !eventTold_) TellEvent();
}

void LiveStream::ReleaseNext() {
    Slot& slot = slots_[next_ % kDepth];
    ++next_;
    if (!slot.held) return;
    slot.held = false;
    lastOffset_ += static_cast<std::int32_t>(slot.timestamp - lastTimestamp_);
    lastTimestamp_ = slot.timestamp;
    if (lastOffset_ < 0 || static_cast<std::uint64_t>(lastOffset_) < skipped_) return;
    const std::uint64_t first = static_cast<std::uint64_t>(lastOffset_) - skipped_;
    const RtpPacket packet{false, slot.payloadType, 0, slot.timestamp, ssrc_, std::span(slot.bytes.data(), slot.length)};
    if (IsAudio(packet)) {
        Play(first, slot.payloadType, packet.payload);
    } else if (IsTelephoneEvent(packet)) {
        Event(first, packet.payload);
    }
}

void LiveStream::Play(std::uint64_t first, std::uint8_t payloadType, std::span<const std::uint8_t> codes) {
    std::array<double, 160> block{};
    if (first > fed_ + kLongestGap) {
        skipped_ += first - fed_ - kLongestGap;
        first = fed_ + kLongestGap;
    }
    while (fed_ < first) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(first - fed_, block.size()));
        std::fill_n(block.begin(), count, 0.0);
        detector_.Feed(std::span<const double>(block.data(), count));
        fed_ += count;
    }
    codes = codes.subspan(static_cast<std::size_t>(std::min<std::uint64_t>(fed_ - first, codes.size())));
    while (!codes.empty()) {
        const std::size_t count = std::min(codes.size(), block.size());
        for (std::size_t i = 0; i < count; ++i) {
            block[i] = (payloadType == 0 ? LinearFromMuLaw(codes[i]) : LinearFromALaw(codes[i])) / 32768.0;
        }
        detector_.Feed(std::span<const double>(block.data(), count));
        fed_ += count;
        codes = codes.subspan(count);
    }
}

void LiveStream::Event(std::uint64_t first, std::span<const std::uint8_t> payload) {
    const std::uint64_t end = first + Rtp::GetBig16(&payload[2]);
    const bool ended = (payload[1] & 0x80) != 0;
    if (!eventOn_ || event_.first != first) {
        if (eventOn_ && !eventTold_) TellEvent();
        event_ = {payload[0], first, end, static_cast<std::uint8_t>(payload[1] & 0x3F), false};
        eventOn_ = true;
        eventTold_ = false;
    }
    if (eventTold_) return;
    event_.end = std::max(event_.end, end);
    event_.ended = ended;
    if (ended) TellEvent();
}

void LiveStream::TellEvent() {
    eventTold_ = true;
    events_(event_);
}

}  // namespace Quorvex::VarnelNet::Detect
