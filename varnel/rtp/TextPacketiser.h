#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "varnel/rtp/Events.h"
#include "varnel/rtp/PayloadFormat.h"

namespace Quorvex::VarnelNet::Rtp {

// Why the characters cannot be sent as real-time text (not in order of their times, empty,
// longer than a character, past the end of a stream of `samples` samples), or an empty text.
std::string CheckTextCharacters(const std::vector<TextCharacter>& characters, std::uint64_t samples);

// Real-time text (RFC 4103: T.140 in RTP) with two generations of redundancy (RFC 2198), its
// times samples of the session's clock. A burst starts when a character is ready (on the next
// tick of the T.140 clock, a whole millisecond), with the marker; then a packet goes every
// 300 ms, its primary block the characters that became ready since the last one, its redundant
// blocks the primaries of the two packets before (empty blocks where there were none), so that
// every character is sent three times. The burst ends after the packet that sent the last text
// for the third time, unless more is ready by then.
class TextPacketiser {
public:
    static constexpr std::uint32_t kIntervalMs = 300;
    static constexpr std::size_t kMaxBlockBytes = 400;  // three blocks stay within one UDP packet of 1500

    // The blocks are marked with t140's payload type; times count samples at sampleRate Hz, a
    // whole number of them per tick of t140's clock.
    TextPacketiser(const PayloadFormat& t140, std::uint32_t sampleRate);

    // Adds the next character, ready no earlier than the one before and known before the time
    // it is ready has passed; one UTF-8 character. Throws std::invalid_argument otherwise.
    void Add(const TextCharacter& character);

    // When the next packet goes (a whole tick of the T.140 clock), or nothing while no text
    // waits to go.
    std::optional<std::uint64_t> NextTime() const;

    // Writes the RFC 2198 payload of the packet due at NextTime() into payload (replacing what it
    // held) and says whether it carries the marker. Only while NextTime() has a value.
    bool Build(std::vector<std::uint8_t>& payload);

private:
    // Whether the burst goes on at m_nextSend: a text not yet sent three times, or more ready.
    bool Continues() const;

    struct Generation {
        bool sent = false;
        std::uint64_t time = 0;
        std::string text;
    };

    std::vector<TextCharacter> m_characters;
    std::uint8_t m_t140PayloadType;
    std::uint64_t m_samplesPerTick;
    std::uint64_t m_intervalSamples;
    std::size_t m_next = 0;  // the next character to send
    bool m_inBurst = false;
    std::uint64_t m_nextSend = 0;
    std::array<Generation, 3> m_generations;  // the primary, then the two before it
};

}  // namespace Quorvex::VarnelNet::Rtp
