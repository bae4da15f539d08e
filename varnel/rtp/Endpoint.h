#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace Quorvex::VarnelNet::Rtp {

// DSCP EF (expedited forwarding, voice media) in the IPv4 TOS / IPv6 traffic class byte: the
// pcap's IP headers carry it, and a live send marks its sockets with it.
inline constexpr std::uint8_t kExpeditedForwarding = 46 << 2;

// A UDP endpoint: an IPv4 or IPv6 address and a port.
struct Endpoint {
    bool ipv6 = false;
    std::array<std::uint8_t, 16> address{};  // IPv4 in the first four bytes
    std::uint16_t port = 0;

    // "127.0.0.1:5004", "[::1]:5004".
    std::string Text() const;
    // The address alone: "127.0.0.1", "::1".
    std::string AddressText() const;
    // The same address, port + offset (the text stream's port beside the audio's).
    Endpoint WithPortOffset(std::uint16_t offset) const;
    bool operator==(const Endpoint&) const = default;
};

// Reads "ADDRESS:PORT" with a numeric IPv4 address, or "[IPV6]:PORT"; the port from 1 to
// 65535. Throws RequestError naming `what` (the option) and saying what is wrong.
Endpoint ParseEndpoint(std::string_view text, std::string_view what);

// Splits "HOST:PORT" or "[IPV6]:PORT" into the host (brackets removed) and the port, 1 to
// 65535; throws RequestError naming `what`.
struct HostPort {
    std::string host;
    std::uint16_t port = 0;
};
HostPort ParseHostPort(std::string_view text, std::string_view what);

// Looks the host up (a name or a numeric address) for UDP; IPv4 is preferred when the name has
// both. Throws RequestError naming `what` when it does not resolve, with the resolver's reason.
Endpoint Resolve(const HostPort& target, std::string_view what);

}  // namespace Quorvex::VarnelNet::Rtp
