#include "platform/socket_io.h"

#include <poll.h>

#include <cerrno>

namespace qor::platform {

namespace {

// Waits until the socket is ready for `events`; false when the deadline passes first.
bool waitFor(int socket, short events, const Deadline& deadline) {
    pollfd wanted{socket, events, 0};
    for (;;) {
        const int ready = poll(&wanted, 1, deadline.remainingMilliseconds());
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

// Interrupted, or not ready after all (EWOULDBLOCK is EAGAIN on Linux).
bool retryable(int error) {
    return error == EINTR || error == EAGAIN;
}

}  // namespace

bool connectWithin(int socket, const sockaddr* address, socklen_t length,
                   const Deadline& deadline) {
    if (connect(socket, address, length) == 0) {
        return true;
    }
    if (errno != EINPROGRESS && errno != EAGAIN) {
        return false;
    }
    int error = 0;
    socklen_t size = sizeof error;
    return waitFor(socket, POLLOUT, deadline) &&
           getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

bool sendAll(int socket, std::string_view bytes, const Deadline& deadline) {
    while (!bytes.empty()) {
        if (!waitFor(socket, POLLOUT, deadline)) {
            return false;
        }
        const ssize_t sent = send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && !retryable(errno)) {
            return false;
        }
        bytes.remove_prefix(sent > 0 ? static_cast<std::size_t>(sent) : 0);
    }
    return true;
}

bool receiveExact(int socket, char* into, std::size_t size, const Deadline& deadline) {
    while (size > 0) {
        if (!waitFor(socket, POLLIN, deadline)) {
            return false;
        }
        const ssize_t received = recv(socket, into, size, MSG_DONTWAIT);
        if (received == 0 || (received < 0 && !retryable(errno))) {
            return false;
        }
        if (received > 0) {
            into += received;
            size -= static_cast<std::size_t>(received);
        }
    }
    return true;
}

}  // namespace qor::platform
