#pragma once

#include <cstdint>

namespace Quorvex::VarnelNet::Rtp {

// Network byte order (most significant byte first), as RTP, IP and UDP headers are written.
inline void PutBig16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

inline std::uint16_t GetBig16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] << 8 | at[1]); }

inline void PutBig32(std::uint8_t* at, std::uint32_t value) {
    PutBig16(at, static_cast<std::uint16_t>(value >> 16));
    PutBig16(at + 2, static_cast<std::uint16_t>(value));
}

inline std::uint32_t GetBig32(const std::uint8_t* at) { return static_cast<std::uint32_t>(GetBig16(at)) << 16 | GetBig16(at + 2); }

// Least significant byte first, as this library writes libpcap's savefile headers, whatever the
// host's order (readers tell the order from the magic number).
inline void PutLittle16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void PutLittle32(std::uint8_t* at, std::uint32_t value) {
    PutLittle16(at, static_cast<std::uint16_t>(value));
    PutLittle16(at + 2, static_cast<std::uint16_t>(value >> 16));
}

inline std::uint16_t GetLittle16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[1] << 8 | at[0]); }

inline std::uint32_t GetLittle32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(GetLittle16(at + 2)) << 16 | GetLittle16(at);
}

}  // namespace Quorvex::VarnelNet::Rtp
