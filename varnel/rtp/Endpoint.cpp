#include "varnel/rtp/Endpoint.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include "varnel/options/Refusal.h"
#include "varnel/options/ValueReaders.h"

namespace Quorvex::VarnelNet::Rtp {

namespace {

using Option::Refuse;

std::uint16_t ReadPort(std::string_view text, std::string_view what, std::string_view whole) {
    const std::optional<std::uint64_t> port = Option::ReadWhole(text, 1, 65535);
    if (!port) Refuse(what, whole, "does not end in a port from 1 to 65535");
    return static_cast<std::uint16_t>(*port);
}

}  // namespace

std::string Endpoint::AddressText() const {
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(ipv6 ? AF_INET6 : AF_INET, address.data(), text, sizeof text);
    return text;
}

std::string Endpoint::Text() const {
    std::string text = ipv6 ? "[" : "";
    text.append(AddressText()).append(ipv6 ? "]:" : ":").append(std::to_string(port));
    return text;
}

Endpoint Endpoint::WithPortOffset(std::uint16_t offset) const {
    Endpoint other = *this;
    other.port = static_cast<std::uint16_t>(port + offset);
    return other;
}

HostPort ParseHostPort(std::string_view text, std::string_view what) {
    HostPort target;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            Refuse(what, text, "is not [IPV6]:PORT");
        }
        target.host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const std::size_t colon = text.rfind(':');
        if (colon == std::string_view::npos) Refuse(what, text, "has no port: give HOST:PORT, or [IPV6]:PORT");
        target.host = text.substr(0, colon);
        if (target.host.find(':') != std::string::npos) Refuse(what, text, "is an IPv6 address without brackets: give [IPV6]:PORT");
        port = text.substr(colon + 1);
    }
    if (target.host.empty()) Refuse(what, text, "has no host");
    target.port = ReadPort(port, what, text);
    return target;
}

Endpoint ParseEndpoint(std::string_view text, std::string_view what) {
    const HostPort target = ParseHostPort(text, what);
    Endpoint endpoint;
    endpoint.port = target.port;
    endpoint.ipv6 = text.front() == '[';
    if (::inet_pton(endpoint.ipv6 ? AF_INET6 : AF_INET, target.host.c_str(), endpoint.address.data()) != 1) {
        Refuse(what, text, endpoint.ipv6 ? "is not a numeric IPv6 address in brackets with a port"
                                         : "is not a numeric IPv4 address with a port (or [IPV6]:PORT)");
    }
    return endpoint;
}

Endpoint Resolve(const HostPort& target, std::string_view what) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    addrinfo* found = nullptr;
    if (const int error = ::getaddrinfo(target.host.c_str(), nullptr, &hints, &found); error != 0) {
        Refuse(what, target.host, std::string("does not resolve: ") + ::gai_strerror(error));
    }
    const addrinfo* chosen = found;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family == AF_INET) {
            chosen = a;
            break;
        }
    }
    Endpoint endpoint;
    endpoint.port = target.port;
    endpoint.ipv6 = chosen->ai_family == AF_INET6;
    if (endpoint.ipv6) {
        std::memcpy(endpoint.address.data(), &reinterpret_cast<const sockaddr_in6*>(chosen->ai_addr)->sin6_addr, 16);
    } else {
        std::memcpy(endpoint.address.data(), &reinterpret_cast<const sockaddr_in*>(chosen->ai_addr)->sin_addr, 4);
    }
    ::freeaddrinfo(found);
    return endpoint;
}

}  // namespace Quorvex::VarnelNet::Rtp
