#include "platform/x11_connection.h"

#include <sys/un.h>

#include <cstring>
#include <string>

#include "platform/address_lookup.h"
#include "platform/socket_io.h"

namespace qor::platform {

namespace {

FileDescriptor connectLocal(const std::string& number, const Deadline& deadline) {
    const std::string path = "/tmp/.X11-unix/X" + number;
    for (const bool abstract : {true, false}) {
        FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!socket.isOpen()) {
            return socket;
        }
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::size_t offset = abstract ? 1 : 0;
        std::memcpy(address.sun_path + offset, path.data(), path.size());
        const auto length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
        if (connectWithin(socket.get(), reinterpret_cast<const sockaddr*>(&address), length,
                          deadline)) {
            return socket;
        }
    }
    return {};
}

X11Connection connectTcp(const X11DisplayName& name, const Deadline& deadline) {
    X11Connection connection;
    for (const SocketAddress& candidate :
         lookUpTcpAddresses(name.host.empty() ? "localhost" : name.host, name.port, deadline)) {
        FileDescriptor socket(::socket(
            candidate.family, candidate.type | SOCK_CLOEXEC | SOCK_NONBLOCK, candidate.protocol));
        if (socket.isOpen() &&
            connectWithin(socket.get(), reinterpret_cast<const sockaddr*>(&candidate.address),
                          candidate.length, deadline)) {
            connection.socket = std::move(socket);
            connection.peer = candidate.address;
            break;
        }
    }
    return connection;
}

}  // namespace

X11Connection connectToX11Server(const X11DisplayName& name, const Deadline& deadline) {
    if (name.tcp) {
        return connectTcp(name, deadline);
    }
    X11Connection connection;
    connection.socket = connectLocal(name.number, deadline);
    return connection;
}

}  // namespace qor::platform
