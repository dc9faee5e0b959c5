#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/deadline.h"

namespace qor::platform {

// One address a stream socket can connect to.
struct SocketAddress {
    int family = AF_UNSPEC;
    int type = SOCK_STREAM;
    int protocol = 0;
    sockaddr_storage address{};
    socklen_t length = 0;
};

// The addresses of a host's TCP port, in the order getaddrinfo gives them. A numeric address is
// taken as it is; a name goes to the system's resolver, which may ask name servers for a long
// time, and is waited for no longer than the deadline. Empty when the name is unknown or not
// resolved in time.
std::vector<SocketAddress> lookUpTcpAddresses(const std::string& host, uint16_t port,
                                              const Deadline& deadline);

}  // namespace qor::platform
