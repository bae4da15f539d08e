#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>

#include "varnel/rtp/Endpoint.h"

namespace Quorvex::VarnelNet::Rtp {

// A socket that cannot be opened or bound, or a receive the system fails.
class ReceiveFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A UDP socket bound to a local endpoint (0.0.0.0 for every IPv4 address, port 0 for one the
// system picks) that datagrams are received on.
class UdpReceiver {
public:
    // Throws ReceiveFailure with the system's reason.
    explicit UdpReceiver(const Endpoint& local);
    ~UdpReceiver();
    UdpReceiver(const UdpReceiver&) = delete;
    UdpReceiver& operator=(const UdpReceiver&) = delete;

    // The endpoint bound, its port the one the system gave.
    const Endpoint& Local() const { return m_local; }

    // Waits up to `milliseconds` for a datagram and returns its bytes in buffer (a longer one cut
    // to it); nothing when none came in time or a signal ended the wait. Throws ReceiveFailure.
    std::optional<std::span<const std::uint8_t>> Receive(std::span<std::uint8_t> buffer, int milliseconds);

private:
    int m_fd = -1;
    Endpoint m_local;
};

}  // namespace Quorvex::VarnelNet::Rtp
