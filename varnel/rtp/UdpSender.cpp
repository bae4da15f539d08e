#include "varnel/rtp/UdpSender.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "varnel/rtp/SocketAddress.h"

namespace Quorvex::VarnelNet::Rtp {

UdpSender::UdpSender(const Endpoint& destination, const std::optional<Endpoint>& source, bool withText)
    : m_destination(destination) {
    m_audio = Open(destination, source);
    if (withText) {
        try {
            m_text = Open(destination.WithPortOffset(2), source ? std::optional(source->WithPortOffset(2)) : std::nullopt);
        } catch (...) {
            ::close(m_audio);
            throw;
        }
    }
}

UdpSender::~UdpSender() {
    if (m_audio >= 0) ::close(m_audio);
    if (m_text >= 0) ::close(m_text);
}

int UdpSender::Open(const Endpoint& destination, const std::optional<Endpoint>& source) {
    if (source && source->ipv6 != destination.ipv6) {
        throw SendFailure("the source " + source->Text() + " and the destination " + destination.Text() +
                          " are of different address families");
    }
    const int fd = ::socket(destination.ipv6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw SendFailure(std::string("cannot open a UDP socket: ") + std::strerror(errno));
    Mark(fd, destination.ipv6);
    sockaddr_storage address;
    if (source) {
        const socklen_t length = SocketAddress(*source, address);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
            const int error = errno;
            ::close(fd);
            throw SendFailure("cannot send from " + source->Text() + ": " + std::strerror(error));
        }
    }
    const socklen_t length = SocketAddress(destination, address);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const int error = errno;
        ::close(fd);
        throw SendFailure("cannot send to " + destination.Text() + ": " + std::strerror(error));
    }
    return fd;
}

void UdpSender::Mark(int fd, bool ipv6) {
    const int value = kExpeditedForwarding;
    const bool marked = ipv6 ? ::setsockopt(fd, IPPROTO_IPV6, IPV6_TCLASS, &value, sizeof value) == 0
                             : ::setsockopt(fd, IPPROTO_IP, IP_TOS, &value, sizeof value) == 0;
    if (!marked && m_unmarked.empty()) m_unmarked = std::string(ipv6 ? "IPV6_TCLASS: " : "IP_TOS: ") + std::strerror(errno);
}

void UdpSender::Send(StreamKind stream, std::span<const std::uint8_t> bytes) {
    const int fd = stream == StreamKind::Text ? m_text : m_audio;
    const Endpoint to = stream == StreamKind::Text ? m_destination.WithPortOffset(2) : m_destination;
    for (;;) {
        if (::send(fd, bytes.data(), bytes.size(), 0) >= 0) {
            ++m_sent;
            return;
        }
        if (errno == EINTR) continue;
        if (errno == ECONNREFUSED) {
            throw SendFailure(to.Text() + " refused the packets (ICMP port unreachable): nothing receives on that port");
        }
        throw SendFailure("cannot send to " + to.Text() + ": " + std::strerror(errno));
    }
}

}  // namespace Quorvex::VarnelNet::Rtp
