#pragma once

#include <cstddef>
#include <cstdint>

namespace Quorvex::VarnelNet::Rtp {

// The fixed header of RFC 3550 (version 2, no padding, no extension, no contributing sources).
struct RtpHeader {
    static constexpr std::size_t kSize = 12;

    bool marker = false;
    std::uint8_t payloadType = 0;  // 0 to 127
    std::uint16_t sequence = 0;
    std::uint32_t timestamp = 0;
    std::uint32_t ssrc = 0;

    // Writes the kSize bytes at `at`.
    void Write(std::uint8_t* at) const;
};

}  // namespace Quorvex::VarnelNet::Rtp
