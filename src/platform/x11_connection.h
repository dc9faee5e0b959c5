#pragma once

#include <sys/socket.h>

#include "platform/deadline.h"
#include "platform/file_descriptor.h"
#include "platform/x11_display_name.h"

namespace qor::platform {

// A stream socket connected to the X server a display name names, and the server's address.
struct X11Connection {
    FileDescriptor socket;
    // The server's address for a TCP connection; for a local socket its family is AF_UNSPEC.
    sockaddr_storage peer{};
};

// Connects to the server: over TCP to each address of the host in turn, else to the local socket
// (its abstract name first, then the file, as X clients try them). Host name look-up and
// connection share the deadline. The socket is non-blocking and closed on exec; it is not open
// when no connection was made.
X11Connection connectToX11Server(const X11DisplayName& name, const Deadline& deadline);

}  // namespace qor::platform
