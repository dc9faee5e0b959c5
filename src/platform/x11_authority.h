#pragma once

#include <sys/socket.h>

#include <string>
#include <string_view>

namespace qor::platform {

// The only authorization scheme QOR presents to an X server.
inline constexpr std::string_view kX11CookieName = "MIT-MAGIC-COOKIE-1";

// The MIT-MAGIC-COOKIE-1 data for a connection to display `number`, from the authority file
// (XAUTHORITY, else ~/.Xauthority): the first entry that names this server as Xlib would (the
// host name for a local or loopback connection, else the server's address; any address for a
// wildcard entry) and this display or any. `peer` is the server's address for a TCP connection,
// null for a local socket. Empty when there is none.
std::string x11Cookie(const sockaddr_storage* peer, const std::string& number);

}  // namespace qor::platform
