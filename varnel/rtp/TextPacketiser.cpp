#include "varnel/rtp/TextPacketiser.h"

#include <stdexcept>

#include "varnel/rtp/ByteOrder.h"

namespace Quorvex::VarnelNet::Rtp {

namespace {

constexpr std::size_t kMaxCharacterBytes = 4;  // one UTF-8 character

std::uint64_t RoundUp(std::uint64_t value, std::uint64_t step) { return (value + step - 1) / step * step; }

}  // namespace

std::string CheckTextCharacters(const std::vector<TextCharacter>& characters, std::uint64_t samples) {
    for (std::size_t i = 0; i < characters.size(); ++i) {
        const TextCharacter& c = characters[i];
        const std::string which = "text character " + std::to_string(i + 1);
        if (c.text.empty() || c.text.size() > kMaxCharacterBytes) return which + " is not one UTF-8 character";
        if (c.ready > samples) return which + " is ready after the audio's " + std::to_string(samples) + " samples";
        if (i > 0 && c.ready < characters[i - 1].ready) return which + " is ready before the character before it";
    }
    return "";
}

TextPacketiser::TextPacketiser(const PayloadFormat& t140, std::uint32_t sampleRate)
    : m_t140PayloadType(t140.type),
      m_samplesPerTick(sampleRate / t140.clockRate),
      m_intervalSamples(std::uint64_t{kIntervalMs} * sampleRate / 1000) {}

void TextPacketiser::Add(const TextCharacter& character) {
    if (character.text.empty() || character.text.size() > kMaxCharacterBytes ||
        (!m_characters.empty() && character.ready < m_characters.back().ready)) {
        throw std::invalid_argument("a text character out of order, or not one UTF-8 character");
    }
    m_characters.push_back(character);
}

bool TextPacketiser::Continues() const {
    if (!m_inBurst) return false;
    const bool moreText = m_next < m_characters.size() && m_characters[m_next].ready <= m_nextSend;
    return !m_generations[0].text.empty() || !m_generations[1].text.empty() || moreText;
}

std::optional<std::uint64_t> TextPacketiser::NextTime() const {
    if (!m_inBurst && m_next == m_characters.size()) return std::nullopt;
    if (Continues()) return m_nextSend;
    if (m_next < m_characters.size()) return RoundUp(m_characters[m_next].ready, m_samplesPerTick);
    return std::nullopt;
}

bool TextPacketiser::Build(std::vector<std::uint8_t>& payload) {
    const bool marker = !Continues();
    const std::uint64_t now = *NextTime();
    if (marker) m_generations = {};
    m_inBurst = true;

    Generation primary{true, now, {}};
    while (m_next < m_characters.size() && m_characters[m_next].ready <= now &&
           primary.text.size() + m_characters[m_next].text.size() <= kMaxBlockBytes) {
        primary.text += m_characters[m_next++].text;
    }
    m_generations = {primary, m_generations[0], m_generations[1]};

    // RFC 2198: a four-byte header per redundant block, oldest first (F bit, payload type,
    // 14-bit timestamp offset, 10-bit length), a one-byte header for the primary, then the
    // blocks in the same order.
    payload.clear();
    for (std::size_t g = 2; g >= 1; --g) {
        const Generation& older = m_generations[g];
        const std::uint32_t offset = older.sent ? static_cast<std::uint32_t>((now - older.time) / m_samplesPerTick) : 0;
        const std::uint32_t length = static_cast<std::uint32_t>(older.text.size());
        std::uint8_t header[4];
        header[0] = static_cast<std::uint8_t>(0x80 | m_t140PayloadType);
        header[1] = static_cast<std::uint8_t>(offset >> 6);
        PutBig16(header + 2, static_cast<std::uint16_t>((offset & 0x3F) << 10 | length));
        payload.insert(payload.end(), header, header + 4);
    }
    payload.push_back(m_t140PayloadType);
    for (std::size_t g = 3; g-- > 0;) payload.insert(payload.end(), m_generations[g].text.begin(), m_generations[g].text.end());

    m_nextSend = now + m_intervalSamples;
    return marker;
}

}  // namespace Quorvex::VarnelNet::Rtp
