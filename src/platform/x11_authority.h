#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/deadline.h"

namespace qor::platform {

// The only authorization scheme QOR presents to an X server.
inline constexpr std::string_view kX11CookieName = "MIT-MAGIC-COOKIE-1";

// The largest authority file that is read; one entry takes some fifty bytes.
inline constexpr std::size_t kMaxX11AuthorityFile = std::size_t{1} << 20;

// How an authority file names a server: an address family and the address's bytes.
struct X11AuthorityAddress {
    static constexpr uint16_t kInternet = 0;
    static constexpr uint16_t kInternet6 = 6;
    static constexpr uint16_t kLocal = 256;   // the address is a host name
    static constexpr uint16_t kWild = 65535;  // any address

    uint16_t family = kLocal;
    std::string address;
};

// What the authority file calls the server at `peer` (a TCP connection's address; AF_UNSPEC for a
// local socket), as Xlib names it: this host's name for a local or loopback connection, else the
// server's address.
X11AuthorityAddress x11AuthorityAddress(const sockaddr_storage& peer);

// The MIT-MAGIC-COOKIE-1 data of the first entry of an authority file's contents that names the
// server (or any address) and display `number` (or any display); empty when none does. An entry
// that runs past the end of the contents ends the search.
std::string x11CookieIn(std::string_view entries, const X11AuthorityAddress& server,
                        std::string_view number);

// The cookie for display `number` of the server at `peer`, from the authority file (XAUTHORITY,
// else ~/.Xauthority). The file is opened without waiting (a FIFO or a device never holds the
// caller) and closed on exec, and read only when it is a regular file of at most
// kMaxX11AuthorityFile bytes and the deadline has not passed. Empty when there is none.
std::string x11Cookie(const sockaddr_storage& peer, std::string_view number,
                      const Deadline& deadline);

}  // namespace qor::platform
