#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

#include "varnel/rtp/Endpoint.h"
#include "varnel/rtp/PacketStream.h"

namespace Quorvex::VarnelNet::Rtp {

// A live send that cannot go on: a socket that cannot be opened or bound, a datagram the
// system refuses, a destination that answered with ICMP port unreachable.
class SendFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The UDP side of a live send: one socket per stream, connected to its destination (the text
// stream's is the audio's port + 2), so that the system reports an ICMP port unreachable from
// the destination as a refusal of the next datagram; each bound to `source` (the text's to its
// port + 2) when one is given, else to a port the system picks. Its datagrams carry DSCP EF,
// as the pcap's IP headers do, where the system lets a socket set it.
class UdpSender {
public:
    // Throws SendFailure.
    UdpSender(const Endpoint& destination, const std::optional<Endpoint>& source, bool withText);
    ~UdpSender();
    UdpSender(const UdpSender&) = delete;
    UdpSender& operator=(const UdpSender&) = delete;

    // Sends one datagram on the stream's socket; a signal that interrupts the call is retried.
    // Throws SendFailure with the system's reason; a refused destination says so.
    void Send(StreamKind stream, std::span<const std::uint8_t> bytes);

    // How many datagrams the system took.
    std::uint64_t Sent() const { return m_sent; }
    // Why the datagrams leave without DSCP EF (the system's reason), or an empty text.
    const std::string& UnmarkedReason() const { return m_unmarked; }

private:
    int Open(const Endpoint& destination, const std::optional<Endpoint>& source);
    void Mark(int fd, bool ipv6);

    Endpoint m_destination;
    int m_audio = -1;
    int m_text = -1;
    std::uint64_t m_sent = 0;
    std::string m_unmarked;
};

}  // namespace Quorvex::VarnelNet::Rtp
