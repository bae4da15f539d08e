#include "varnel/signal/NttMessage.h"

#include <bit>
#include <cstring>

namespace Quorvex::VarnelNet::NttMessage {

namespace {

// Appends a message octet, doubled when it is a DLE.
void AppendData(std::vector<std::uint8_t>& out, std::uint8_t octet) {
    out.push_back(octet);
    if (octet == kDle) out.push_back(octet);
}

}  // namespace

std::uint8_t WithEvenParity(std::uint8_t c) {
    const auto seven = static_cast<std::uint8_t>(c & 0x7F);
    return (std::popcount(seven) & 1) ? static_cast<std::uint8_t>(seven | 0x80) : seven;
}

std::uint16_t Crc16(std::span<const std::uint8_t> octets, std::uint16_t crc) {
    // The generator 0x1021 with its bits reversed, for a register shifted towards bit 0.
    constexpr std::uint16_t kReversed = 0x8408;
    for (const std::uint8_t octet : octets) {
        crc = static_cast<std::uint16_t>(crc ^ octet);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) ? static_cast<std::uint16_t>((crc >> 1) ^ kReversed) : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

std::vector<std::uint8_t> Frame(std::span<const std::uint8_t> body) {
    std::vector<std::uint8_t> frame;
    frame.reserve(body.size() * 2 + 9);
    for (const std::uint8_t octet : {kDle, kSoh, kHeader, kDle, kStx}) frame.push_back(octet);
    for (const std::uint8_t octet : body) AppendData(frame, octet);
    frame.push_back(kDle);
    frame.push_back(kEtx);
    for (std::uint8_t& octet : frame) octet = WithEvenParity(octet);
    const std::uint16_t crc = Crc16(std::span(frame).subspan(2));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

std::vector<std::uint8_t> CallerIdBody(const char* number, char absence) {
    const std::size_t n = number ? std::strlen(number) : 0;
    std::vector<std::uint8_t> body;
    body.reserve(n + 4);
    body.push_back(kCallerId);
    body.push_back(0);
    if (absence != 0) {
        body.push_back(kAbsence);
        body.push_back(1);
        body.push_back(static_cast<std::uint8_t>(absence));
    } else {
        body.push_back(kNumber);
        body.push_back(static_cast<std::uint8_t>(n));
        body.insert(body.end(), reinterpret_cast<const std::uint8_t*>(number),
                    reinterpret_cast<const std::uint8_t*>(number) + n);
    }
    body[1] = static_cast<std::uint8_t>(body.size() - 2);
    return body;
}

}  // namespace Quorvex::VarnelNet::NttMessage
