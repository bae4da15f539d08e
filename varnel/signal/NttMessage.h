#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace Quorvex::VarnelNet {

// The Japanese (NTT) Caller-ID link layer: a frame of 7-bit characters, each sent as an octet
// whose top bit makes the count of ones even, then a CRC-16 of two plain octets:
//
//   DLE SOH  header 0x07  DLE STX  type 0x40  length  parameters...  DLE ETX  CRC low  CRC high
//
// Inside the message (type, length and parameters) a DLE (0x10) is sent twice, so that no data
// octet reads as a control pair; the length counts the parameter octets before doubling. The
// CRC (generator x^16 + x^12 + x^5 + 1, bits taken least significant first, register starting
// at 0, nothing added at the end) covers the octets as sent, parity included, from the header
// through ETX; over the whole frame after SOH, CRC included, it leaves 0.
namespace NttMessage {

inline constexpr std::uint8_t kDle = 0x10;
inline constexpr std::uint8_t kSoh = 0x01;
inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::uint8_t kHeader = 0x07;
inline constexpr std::uint8_t kCallerId = 0x40;
inline constexpr std::uint8_t kNumber = 0x02;
inline constexpr std::uint8_t kAbsence = 0x04;

// The 7-bit character c with its even-parity bit in bit 7.
std::uint8_t WithEvenParity(std::uint8_t c);
// The CRC-16 described above of the octets, from a register of `crc`.
std::uint16_t Crc16(std::span<const std::uint8_t> octets, std::uint16_t crc = 0);

// The whole frame around a message body (type, length and parameters, every octet below 0x80).
std::vector<std::uint8_t> Frame(std::span<const std::uint8_t> body);

// The body of a Caller-ID message: type 0x40 with parameter 0x02 (the number) or, when
// absence is not 0, parameter 0x04 with the absence letter.
std::vector<std::uint8_t> CallerIdBody(const char* number, char absence);

}  // namespace NttMessage

}  // namespace Quorvex::VarnelNet
