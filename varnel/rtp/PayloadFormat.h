#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Quorvex::VarnelNet::Rtp {

// An RTP payload format as a session description maps it (a=rtpmap:TYPE NAME/CLOCK): its name,
// the payload type its packets carry, the clock its timestamps count and, for sampled audio,
// how many bytes a sample of each channel takes. A session's times are samples of its audio's
// clock; the other formats' timestamps are converted from them.
struct PayloadFormat {
    std::string_view name;
    std::uint8_t type = 0;
    std::uint32_t clockRate = 0;
    std::uint32_t bytesPerSample = 0;  // 0 for a format not made of samples (events, text)
    std::uint32_t channels = 1;

    // The ticks of the clock in `ms` milliseconds.
    constexpr std::uint32_t TicksIn(std::uint32_t ms) const {
        return static_cast<std::uint32_t>(std::uint64_t{ms} * clockRate / 1000);
    }
    // The bytes of `samples` samples of every channel, and the samples those bytes hold.
    constexpr std::uint64_t BytesOf(std::uint64_t samples) const { return samples * bytesPerSample * channels; }
    constexpr std::uint64_t SamplesOf(std::uint64_t bytes) const { return bytes / (bytesPerSample * channels); }
    // This clock's ticks at `ticks` ticks of a clock of `rate` Hz (both from 0), rounded down.
    constexpr std::uint64_t TicksAt(std::uint64_t ticks, std::uint32_t rate) const {
        return ticks / rate * clockRate + ticks % rate * clockRate / rate;
    }
    // The microseconds at `ticks` ticks of the clock, rounded down.
    constexpr std::uint64_t MicrosecondsAt(std::uint64_t ticks) const {
        return ticks / clockRate * 1000000 + ticks % clockRate * 1000000 / clockRate;
    }

    // What follows the payload type in an rtpmap attribute: "PCMU/8000" (the channels after
    // another slash when there are more than one).
    std::string Rtpmap() const;

    bool operator==(const PayloadFormat&) const = default;
};

// G.711 of RFC 3551's static payload types, one byte a sample at 8000 Hz.
inline constexpr PayloadFormat kPcmu{"PCMU", 0, 8000, 1, 1};
inline constexpr PayloadFormat kPcma{"PCMA", 8, 8000, 1, 1};

// Telephone events (RFC 4733) beside `audio`, whose clock they count.
constexpr PayloadFormat TelephoneEventFormat(std::uint8_t type, const PayloadFormat& audio) {
    return {"telephone-event", type, audio.clockRate, 0, 1};
}

// Real-time text (RFC 4103): T.140 on a 1000 Hz clock, and the redundancy of RFC 2198 around
// it, on the clock of the text it carries.
constexpr PayloadFormat T140Format(std::uint8_t type) { return {"t140", type, 1000, 0, 1}; }
constexpr PayloadFormat RedFormat(std::uint8_t type, const PayloadFormat& primary) {
    return {"red", type, primary.clockRate, 0, 1};
}

}  // namespace Quorvex::VarnelNet::Rtp
