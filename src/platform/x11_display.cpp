#include "platform/x11_display.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

#include "platform/x11_authority.h"

namespace qor::platform {

namespace {

using Clock = std::chrono::steady_clock;

// How long the whole measurement may take, connection included.
constexpr std::chrono::milliseconds kTimeLimit{2000};
constexpr uint8_t kGetPropertyOpcode = 20;
constexpr uint32_t kStringAtom = 31;
constexpr uint32_t kMaxPropertyUnits = 65536;

// The parts of DISPLAY: [tcp/|unix/]host:number[.screen].
struct DisplayName {
    std::string host;
    bool tcp = false;
    std::string number;
    std::size_t screen = 0;
};

bool allDigits(std::string_view text) {
    return !text.empty() && text.size() < 6 && text.find_first_not_of("0123456789") == text.npos;
}

std::optional<DisplayName> parseDisplayName(const char* display) {
    if (display == nullptr) {
        return std::nullopt;
    }
    const std::string_view text(display);
    const std::size_t colon = text.rfind(':');
    if (colon == text.npos || (colon > 0 && text[colon - 1] == ':')) {
        return std::nullopt;  // none, or DECnet
    }
    DisplayName name;
    std::string_view host = text.substr(0, colon);
    for (const std::string_view protocol : {"tcp/", "inet/", "inet6/"}) {
        if (host.starts_with(protocol)) {
            host.remove_prefix(protocol.size());
            name.tcp = true;
        }
    }
    if (host.starts_with("unix/")) {
        host.remove_prefix(5);
    }
    if (host.starts_with('/')) {
        return std::nullopt;  // a socket path of another system's launcher
    }
    name.host = host == "unix" ? std::string() : std::string(host);
    name.tcp = name.tcp || !name.host.empty();
    const std::string_view rest = text.substr(colon + 1);
    const std::size_t dot = rest.find('.');
    name.number = std::string(rest.substr(0, dot));
    if (!allDigits(name.number)) {
        return std::nullopt;
    }
    if (dot != rest.npos) {
        if (!allDigits(rest.substr(dot + 1))) {
            return std::nullopt;
        }
        name.screen =
            static_cast<std::size_t>(std::atoi(std::string(rest.substr(dot + 1)).c_str()));
    }
    return name;
}

int remainingMilliseconds(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool waitFor(int socket, short events, Clock::time_point deadline) {
    pollfd wanted{socket, events, 0};
    for (;;) {
        const int ready = poll(&wanted, 1, remainingMilliseconds(deadline));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

bool writeAll(int socket, std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        if (!waitFor(socket, POLLOUT, deadline)) {
            return false;
        }
        const ssize_t written = send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (written < 0 && errno != EINTR && errno != EAGAIN) {
            return false;
        }
        bytes.remove_prefix(written > 0 ? static_cast<std::size_t>(written) : 0);
    }
    return true;
}

bool readExact(int socket, char* into, std::size_t size, Clock::time_point deadline) {
    while (size > 0) {
        if (!waitFor(socket, POLLIN, deadline)) {
            return false;
        }
        const ssize_t read = recv(socket, into, size, 0);
        if (read == 0 || (read < 0 && errno != EINTR && errno != EAGAIN)) {
            return false;
        }
        if (read > 0) {
            into += read;
            size -= static_cast<std::size_t>(read);
        }
    }
    return true;
}

bool connectWithin(int socket, const sockaddr* address, socklen_t length,
                   Clock::time_point deadline) {
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

// The local server's socket: the abstract name first, then the file, as X clients try them.
int connectLocal(const std::string& number, Clock::time_point deadline) {
    const std::string path = "/tmp/.X11-unix/X" + number;
    for (const bool abstract : {true, false}) {
        const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (socket < 0) {
            return -1;
        }
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::size_t offset = abstract ? 1 : 0;
        std::memcpy(address.sun_path + offset, path.data(), path.size());
        const auto length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
        if (connectWithin(socket, reinterpret_cast<const sockaddr*>(&address), length, deadline)) {
            return socket;
        }
        close(socket);
    }
    return -1;
}

int connectTcp(const std::string& host, const std::string& number, sockaddr_storage& peer,
               Clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(6000 + std::atoi(number.c_str()));
    if (getaddrinfo(host.empty() ? "localhost" : host.c_str(), port.c_str(), &hints, &found) != 0) {
        return -1;
    }
    int connected = -1;
    for (const addrinfo* candidate = found; candidate != nullptr && connected < 0;
         candidate = candidate->ai_next) {
        const int socket = ::socket(candidate->ai_family,
                                    candidate->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (socket < 0) {
            continue;
        }
        if (connectWithin(socket, candidate->ai_addr, candidate->ai_addrlen, deadline)) {
            std::memcpy(&peer, candidate->ai_addr, candidate->ai_addrlen);
            connected = socket;
        } else {
            close(socket);
        }
    }
    freeaddrinfo(found);
    return connected;
}

void putLittleEndian(std::string& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

uint32_t littleEndian(const std::string& bytes, std::size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

std::size_t padded(std::size_t size) {
    return (size + 3) & ~std::size_t{3};
}

// The connection setup request, in little-endian byte order.
std::string setupRequest(const std::string& cookie) {
    const std::string_view name = cookie.empty() ? std::string_view() : kX11CookieName;
    std::string request("l\0", 2);
    putLittleEndian(request, 11, 2);
    putLittleEndian(request, 0, 2);
    putLittleEndian(request, static_cast<uint32_t>(name.size()), 2);
    putLittleEndian(request, static_cast<uint32_t>(cookie.size()), 2);
    putLittleEndian(request, 0, 2);
    request.append(name).append(padded(name.size()) - name.size(), '\0');
    request.append(cookie).append(padded(cookie.size()) - cookie.size(), '\0');
    return request;
}

// The screens of an accepted connection's setup data; empty when it does not hold together.
std::vector<X11Screen> screensOf(const std::string& setup) {
    if (setup.size() < 32) {
        return {};
    }
    const std::size_t vendor = littleEndian(setup, 16, 2);
    const std::size_t count = static_cast<uint8_t>(setup[20]);
    const std::size_t formats = static_cast<uint8_t>(setup[21]);
    std::size_t at = 32 + padded(vendor) + 8 * formats;
    std::vector<X11Screen> screens;
    for (std::size_t screen = 0; screen < count; ++screen) {
        if (at + 40 > setup.size()) {
            return {};
        }
        X11Screen found;
        found.root = littleEndian(setup, at, 4);
        found.widthInPixels = static_cast<uint16_t>(littleEndian(setup, at + 20, 2));
        found.heightInPixels = static_cast<uint16_t>(littleEndian(setup, at + 22, 2));
        found.widthInMillimetres = static_cast<uint16_t>(littleEndian(setup, at + 24, 2));
        found.heightInMillimetres = static_cast<uint16_t>(littleEndian(setup, at + 26, 2));
        screens.push_back(found);
        const std::size_t depths = static_cast<uint8_t>(setup[at + 39]);
        at += 40;
        for (std::size_t depth = 0; depth < depths; ++depth) {
            if (at + 8 > setup.size()) {
                return {};
            }
            at += 8 + 24 * static_cast<std::size_t>(littleEndian(setup, at + 2, 2));
        }
    }
    return screens;
}

}  // namespace

X11Display X11Display::open() {
    X11Display display;
    const std::optional<DisplayName> name = parseDisplayName(std::getenv("DISPLAY"));
    if (!name) {
        return display;
    }
    const Clock::time_point deadline = Clock::now() + kTimeLimit;
    sockaddr_storage peer{};
    display.socket_ = name->tcp ? connectTcp(name->host, name->number, peer, deadline)
                                : connectLocal(name->number, deadline);
    if (!display.isOpen()) {
        return display;
    }
    std::string reply(8, '\0');
    if (!writeAll(display.socket_,
                  setupRequest(x11Cookie(name->tcp ? &peer : nullptr, name->number)), deadline) ||
        !readExact(display.socket_, reply.data(), reply.size(), deadline)) {
        return X11Display();
    }
    // Refused (0) or asked for more authentication (2): the reason is not shown to anyone.
    std::string setup(static_cast<std::size_t>(littleEndian(reply, 6, 2)) * 4, '\0');
    if (reply[0] != 1 || !readExact(display.socket_, setup.data(), setup.size(), deadline)) {
        return X11Display();
    }
    display.screens_ = screensOf(setup);
    display.defaultScreen_ = name->screen;
    return display.screens_.empty() ? X11Display() : std::move(display);
}

X11Display::X11Display(X11Display&& other) noexcept
    : socket_(std::exchange(other.socket_, -1)),
      defaultScreen_(other.defaultScreen_),
      screens_(std::move(other.screens_)) {}

X11Display::~X11Display() {
    if (socket_ >= 0) {
        close(socket_);
    }
}

const X11Screen* X11Display::defaultScreen() const {
    return defaultScreen_ < screens_.size() ? &screens_[defaultScreen_] : nullptr;
}

std::optional<std::string> X11Display::stringProperty(uint32_t window, uint32_t property) {
    if (!isOpen()) {
        return std::nullopt;
    }
    const Clock::time_point deadline = Clock::now() + kTimeLimit;
    std::string request;
    putLittleEndian(request, kGetPropertyOpcode, 1);
    putLittleEndian(request, 0, 1);  // do not delete
    putLittleEndian(request, 6, 2);  // request length in 4-byte units
    putLittleEndian(request, window, 4);
    putLittleEndian(request, property, 4);
    putLittleEndian(request, kStringAtom, 4);
    putLittleEndian(request, 0, 4);
    putLittleEndian(request, kMaxPropertyUnits, 4);
    if (!writeAll(socket_, request, deadline)) {
        return std::nullopt;
    }
    std::string header(32, '\0');
    do {  // events are 32 bytes and of no interest; an error (0) means no such window
        if (!readExact(socket_, header.data(), header.size(), deadline) || header[0] == 0) {
            return std::nullopt;
        }
    } while (header[0] != 1);
    std::string value(static_cast<std::size_t>(littleEndian(header, 4, 4)) * 4, '\0');
    if (value.size() > kMaxPropertyUnits * 4 + 4 ||
        !readExact(socket_, value.data(), value.size(), deadline)) {
        return std::nullopt;
    }
    const std::size_t format = static_cast<uint8_t>(header[1]);
    const std::size_t length = littleEndian(header, 16, 4);
    if (format != 8 || length > value.size()) {
        return std::nullopt;
    }
    value.resize(length);
    return value;
}

}  // namespace qor::platform
