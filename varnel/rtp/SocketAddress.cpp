#include "varnel/rtp/SocketAddress.h"

#include <netinet/in.h>

#include <cstring>

namespace Quorvex::VarnelNet::Rtp {

socklen_t SocketAddress(const Endpoint& endpoint, sockaddr_storage& storage) {
    storage = {};
    if (endpoint.ipv6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(endpoint.port);
        std::memcpy(&a->sin6_addr, endpoint.address.data(), 16);
        return sizeof(sockaddr_in6);
    }
    auto* a = reinterpret_cast<sockaddr_in*>(&storage);
    a->sin_family = AF_INET;
    a->sin_port = htons(endpoint.port);
    std::memcpy(&a->sin_addr, endpoint.address.data(), 4);
    return sizeof(sockaddr_in);
}

Endpoint EndpointOf(const sockaddr_storage& storage) {
    Endpoint endpoint;
    if (storage.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&storage);
        endpoint.ipv6 = true;
        std::memcpy(endpoint.address.data(), &a->sin6_addr, 16);
        endpoint.port = ntohs(a->sin6_port);
    } else {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&storage);
        std::memcpy(endpoint.address.data(), &a->sin_addr, 4);
        endpoint.port = ntohs(a->sin_port);
    }
    return endpoint;
}

}  // namespace Quorvex::VarnelNet::Rtp
