#include "support/fake_x_server.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace qor::test {

namespace {

// `size` bytes of `value`, little-endian; zeros past its four.
void put(std::string& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes += static_cast<char>(i < 4 ? (value >> (8 * i)) & 0xFF : 0);
    }
}

uint32_t get16(const std::string& bytes, std::size_t at) {
    return static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8);
}

std::size_t padded(std::size_t size) {
    return (size + 3) & ~std::size_t{3};
}

std::string withPadding(std::string bytes) {
    bytes.resize(padded(bytes.size()), '\0');
    return bytes;
}

}  // namespace

std::string x11SetupAccepted(const std::vector<FakeScreen>& screens) {
    const std::string vendor = withPadding("QOR test");
    std::string data;
    put(data, 1, 4);         // release
    put(data, 0x200000, 4);  // resource ID base
    put(data, 0x1FFFFF, 4);  // resource ID mask
    put(data, 0, 4);         // motion buffer size
    put(data, 8, 2);         // vendor length
    put(data, 0xFFFF, 2);    // maximum request length
    put(data, static_cast<uint32_t>(screens.size()), 1);
    put(data, 1, 1);  // pixmap formats
    put(data, 0, 4);  // byte orders, scanline unit and pad
    put(data, 8, 1);  // keycodes
    put(data, 255, 1);
    put(data, 0, 4);
    data += vendor;
    put(data, 24, 1);  // one pixmap format: depth 24, 32 bits per pixel, pad 32
    put(data, 32, 1);
    put(data, 32, 1);
    put(data, 0, 5);
    for (const FakeScreen& screen : screens) {
        put(data, screen.root, 4);
        put(data, 0x20, 4);  // colormap
        put(data, 0xFFFFFF, 4);
        put(data, 0, 4);
        put(data, 0, 4);  // input masks
        put(data, screen.widthInPixels, 2);
        put(data, screen.heightInPixels, 2);
        put(data, screen.widthInMillimetres, 2);
        put(data, screen.heightInMillimetres, 2);
        put(data, 1, 2);  // installed maps
        put(data, 1, 2);
        put(data, 0x21, 4);  // root visual
        put(data, 0, 3);     // backing stores, save unders, root depth 24
        data.back() = 24;
        put(data, 1, 1);  // one depth with one visual
        put(data, 24, 2);
        put(data, 1, 2);
        put(data, 0, 4);
        put(data, 0x21, 4);  // TrueColor, 8 bits, 256 entries, masks
        put(data, 4, 1);
        put(data, 8, 1);
        put(data, 256, 2);
        put(data, 0xFF0000, 4);
        put(data, 0x00FF00, 4);
        put(data, 0x0000FF, 4);
        put(data, 0, 4);
    }
    std::string reply;
    put(reply, 1, 1);
    put(reply, 0, 1);
    put(reply, 11, 2);
    put(reply, 0, 2);
    put(reply, static_cast<uint32_t>(data.size() / 4), 2);
    return reply + data;
}

std::string x11SetupRefused() {
    const std::string reason = "No protocol specified";
    std::string reply;
    put(reply, 0, 1);
    put(reply, static_cast<uint32_t>(reason.size()), 1);
    put(reply, 11, 2);
    put(reply, 0, 2);
    put(reply, static_cast<uint32_t>(padded(reason.size()) / 4), 2);
    return reply + withPadding(reason);
}

std::string x11PropertyReply(const std::string& value) {
    std::string bytes;
    put(bytes, 1, 1);
    put(bytes, 8, 1);
    put(bytes, 1, 2);
    put(bytes, static_cast<uint32_t>(padded(value.size()) / 4), 4);
    put(bytes, 31, 4);  // STRING
    put(bytes, 0, 4);
    put(bytes, static_cast<uint32_t>(value.size()), 4);
    put(bytes, 0, 12);
    return bytes + withPadding(value);
}

std::string x11NoProperty() {
    std::string bytes;
    put(bytes, 1, 1);
    put(bytes, 0, 1);  // no format, no type
    put(bytes, 1, 2);
    bytes.resize(32, '\0');
    return bytes;
}

std::string patched(std::string bytes, X11Field field, uint32_t value) {
    std::string encoded;
    put(encoded, value, field.size);
    bytes.replace(field.offset, encoded.size(), encoded);
    return bytes;
}

std::string x11Event(uint8_t code) {
    std::string event(32, '\0');
    event[0] = static_cast<char>(code);
    return event;
}

std::string x11Error(uint8_t code, uint16_t sequence) {
    std::string error;
    put(error, 0, 1);
    put(error, code, 1);
    put(error, sequence, 2);
    error.resize(32, '\0');
    return error;
}

FakeXServerScript FakeXServerScript::answering(std::string reply) {
    FakeXServerScript script;
    script.requestReply = std::move(reply);
    return script;
}

FakeXServerScript& FakeXServerScript::withSetupReply(std::string reply) {
    setupReply = std::move(reply);
    return *this;
}

FakeXServerScript& FakeXServerScript::withDelays(std::chrono::milliseconds setup,
                                                 std::chrono::milliseconds request) {
    setupDelay = setup;
    requestDelay = request;
    return *this;
}

FakeXServerScript& FakeXServerScript::requiringCookie(std::string cookie) {
    requiredCookie = std::move(cookie);
    return *this;
}

FakeXServer::FakeXServer(FakeXServerScript script) : script_(std::move(script)) {
    if (pipe(stop_) != 0) {
        stop_[0] = stop_[1] = -1;
    }
}

FakeXServer::FakeXServer(int number, FakeXServerScript script) : FakeXServer(std::move(script)) {
    const std::string name = "/tmp/.X11-unix/X" + std::to_string(number);
    listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (bind(listener_, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        listen(listener_, 8) != 0) {
        close(listener_);
        listener_ = -1;
    }
    start();
}

FakeXServer::FakeXServer(uint16_t first, uint16_t last, FakeXServerScript script)
    : FakeXServer(std::move(script)) {
    for (uint32_t port = first; port <= last && listener_ < 0; ++port) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            listen(listener_, 8) == 0) {
            port_ = static_cast<uint16_t>(port);
        } else {
            close(listener_);
            listener_ = -1;
        }
    }
    start();
}

FakeXServer::~FakeXServer() {
    if (thread_.joinable()) {
        const char stop = 0;
        static_cast<void>(write(stop_[1], &stop, 1));
        thread_.join();
    }
    for (const int descriptor : {listener_, stop_[0], stop_[1]}) {
        if (descriptor >= 0) {
            close(descriptor);
        }
    }
}

void FakeXServer::start() {
    if (listener_ >= 0 && stop_[0] >= 0) {
        thread_ = std::thread([this] { serve(); });
    }
}

void FakeXServer::serve() {
    for (;;) {
        pollfd wanted[2] = {{listener_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        if (poll(wanted, 2, -1) < 0 || (wanted[1].revents & POLLIN) != 0) {
            return;
        }
        const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            ++connections_;
            converse(client);
            close(client);
        }
    }
}

// False when the server is being stopped.
bool FakeXServer::pause(std::chrono::milliseconds span) {
    pollfd stop{stop_[0], POLLIN, 0};
    return poll(&stop, 1, static_cast<int>(span.count())) == 0;
}

// False when the client went away or the server is being stopped.
bool FakeXServer::receive(int client, std::string& into, std::size_t size) {
    while (into.size() < size) {
        pollfd wanted[2] = {{client, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        if (poll(wanted, 2, -1) < 0 || (wanted[1].revents & POLLIN) != 0) {
            return false;
        }
        char bytes[256];
        const ssize_t got = recv(client, bytes, std::min(sizeof bytes, size - into.size()), 0);
        if (got <= 0) {
            return false;
        }
        into.append(bytes, static_cast<std::size_t>(got));
    }
    return true;
}

void FakeXServer::converse(int client) {
    std::string request;
    if (!receive(client, request, 12) ||
        !receive(client, request, 12 + padded(get16(request, 6)) + padded(get16(request, 8)))) {
        return;
    }
    const std::string cookie = request.substr(12 + padded(get16(request, 6)), get16(request, 8));
    const bool admitted = script_.requiredCookie.empty() || cookie == script_.requiredCookie;
    const std::string setupReply = admitted ? script_.setupReply : x11SetupRefused();
    std::string ignored;
    if (!pause(script_.setupDelay) ||
        send(client, setupReply.data(), setupReply.size(), MSG_NOSIGNAL) < 0 || !admitted ||
        !receive(client, ignored, 24) || !pause(script_.requestDelay) ||
        send(client, script_.requestReply.data(), script_.requestReply.size(), MSG_NOSIGNAL) < 0) {
        return;
    }
    // Held open until the client has read what it wants and closes it.
    receive(client, ignored, ignored.size() + 1);
}

}  // namespace qor::test
