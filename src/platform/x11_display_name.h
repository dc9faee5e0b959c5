#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qor::platform {

// What DISPLAY names: [protocol/][host]:number[.screen], protocol "tcp", "inet", "inet6" or
// "unix".
struct X11DisplayName {
    // Empty for this machine's local socket (no host, or "unix").
    std::string host;
    // True when the server is reached over TCP: a host is named, or a TCP protocol.
    bool tcp = false;
    // The display number as written, as the authority file names it.
    std::string number;
    // The server's TCP port, 6000 plus the display number.
    uint16_t port = 0;
    std::size_t screen = 0;
};

// Nothing for no text, a DECnet name (host::number), a socket path of another system's launcher
// ("/path:0"), numbers that are not up to five decimal digits, and TCP display numbers whose port
// would pass 65535.
std::optional<X11DisplayName> parseX11DisplayName(const char* display);

}  // namespace qor::platform
