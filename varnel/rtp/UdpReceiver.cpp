#include "varnel/rtp/UdpReceiver.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "varnel/rtp/SocketAddress.h"

namespace Quorvex::VarnelNet::Rtp {

UdpReceiver::UdpReceiver(const Endpoint& local) {
    m_fd = ::socket(local.ipv6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0) throw ReceiveFailure(std::string("cannot open a UDP socket: ") + std::strerror(errno));
    sockaddr_storage address;
    const socklen_t length = SocketAddress(local, address);
    socklen_t bound = sizeof address;
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &bound) != 0) {
        const int error = errno;
        ::close(m_fd);
        throw ReceiveFailure("cannot listen on " + local.Text() + ": " + std::strerror(error));
    }
    m_local = EndpointOf(address);
}

UdpReceiver::~UdpReceiver() { ::close(m_fd); }

std::optional<std::span<const std::uint8_t>> UdpReceiver::Receive(std::span<std::uint8_t> buffer, int milliseconds) {
    pollfd waiting{m_fd, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, milliseconds);
    if (ready < 0 && errno != EINTR) throw ReceiveFailure(std::string("cannot wait for datagrams: ") + std::strerror(errno));
    if (ready <= 0) return std::nullopt;
    const ssize_t length = ::recv(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (length < 0) {
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNREFUSED) return std::nullopt;
        throw ReceiveFailure(std::string("cannot receive: ") + std::strerror(errno));
    }
    return buffer.first(static_cast<std::size_t>(length));
}

}  // namespace Quorvex::VarnelNet::Rtp
