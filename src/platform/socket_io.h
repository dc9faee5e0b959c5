#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <string_view>

#include "platform/deadline.h"

namespace qor::platform {

// Stream-socket operations that never wait past a deadline. They work on any connected stream
// socket, blocking or not.

// Connects a non-blocking socket. False when the connection is refused or not made in time.
bool connectWithin(int socket, const sockaddr* address, socklen_t length, const Deadline& deadline);

// Sends all of `bytes`. False on an error, when the peer is gone or when the deadline passes.
bool sendAll(int socket, std::string_view bytes, const Deadline& deadline);

// Receives exactly `size` bytes into `into`. False on an error, at the end of the stream or when
// the deadline passes; what arrived until then is in `into`.
bool receiveExact(int socket, char* into, std::size_t size, const Deadline& deadline);

}  // namespace qor::platform
