#pragma once

#include <sys/socket.h>

#include "varnel/rtp/Endpoint.h"

namespace Quorvex::VarnelNet::Rtp {

// The endpoint as the socket calls take it (sockaddr_in or sockaddr_in6); returns its length.
socklen_t SocketAddress(const Endpoint& endpoint, sockaddr_storage& storage);

// The endpoint a socket address names (IPv4 or IPv6).
Endpoint EndpointOf(const sockaddr_storage& storage);

}  // namespace Quorvex::VarnelNet::Rtp
