#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Quorvex::VarnelNet::Rtp {

// What the packetisers send besides the audio, placed by sample of the audio's clock from the
// stream's first sample. How they are found (from the generators' labels) is not their business.

// A telephone event of RFC 4733 or RFC 4734: samples [first, end), the event code, the volume
// (the level in dBm0 without its sign, 0 to 63).
struct EventSpan {
    std::uint64_t first = 0;
    std::uint64_t end = 0;
    std::uint8_t code = 0;
    std::uint8_t volume = 0;
    bool operator==(const EventSpan&) const = default;
};

// A character of real-time text (T.140, UTF-8) and the sample at which it is complete (its
// last sample has sounded), so that it leaves no earlier than a receiver of the tones has it.
struct TextCharacter {
    std::uint64_t ready = 0;
    std::string text;
    bool operator==(const TextCharacter&) const = default;
};

// The event codes of RFC 4733 (DTMF: 0-9, * 10, # 11, A-D 12-15) for a key as the dtmf:
// request writes it (either case for A-D); nothing for a character that is not a key.
std::optional<std::uint8_t> DtmfEventCode(char key);
// The key of a DTMF event code (0-15), in the dtmf: request's characters; nothing for another code.
std::optional<char> DtmfEventKey(std::uint8_t code);

// The RFC 4734 codes of the modem and fax tones: ANS 32, /ANS 33, ANSam 34, /ANSam 35, CNG 36.
namespace ToneEvent {
inline constexpr std::uint8_t kAns = 32;
inline constexpr std::uint8_t kAnsPhaseReversed = 33;
inline constexpr std::uint8_t kAnsam = 34;
inline constexpr std::uint8_t kAnsamPhaseReversed = 35;
inline constexpr std::uint8_t kCng = 36;
}  // namespace ToneEvent

// The volume field of a tone at `dbm0`: its level without the sign, rounded to the nearest
// whole dB and held within 0 to 63 (a level above 0 dBm0 is sent as 0).
std::uint8_t EventVolume(double dbm0);

}  // namespace Quorvex::VarnelNet::Rtp
