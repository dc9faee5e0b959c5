#include "platform/x11_display.h"

#include <array>
#include <utility>

#include "platform/socket_io.h"
#include "platform/x11_authority.h"

namespace qor::platform {

namespace {

constexpr uint8_t kGetPropertyOpcode = 20;
constexpr uint32_t kStringAtom = 31;
constexpr uint32_t kMaxPropertyUnits = kMaxX11PropertyBytes / 4;
// The first byte of what the server sends: a reply, an error, else an event.
constexpr uint8_t kError = 0;
constexpr uint8_t kReply = 1;
constexpr uint8_t kSetupSuccess = 1;
// An event with a length of its own; only sent to clients that ask for such events. The top bit
// of an event's code marks one that another client sent.
constexpr uint8_t kGenericEvent = 35;
constexpr uint8_t kEventCodeBits = 0x7F;

void putLittleEndian(std::string& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

uint32_t littleEndian(std::string_view bytes, std::size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

std::size_t padded(std::size_t size) {
    return (size + 3) & ~std::size_t{3};
}

std::string setupRequest(std::string_view cookie) {
    const std::string_view name = cookie.empty() ? std::string_view() : kX11CookieName;
    std::string request("l\0", 2);
    putLittleEndian(request, 11, 2);  // protocol 11.0
    putLittleEndian(request, 0, 2);
    putLittleEndian(request, static_cast<uint32_t>(name.size()), 2);
    putLittleEndian(request, static_cast<uint32_t>(cookie.size()), 2);
    putLittleEndian(request, 0, 2);
    request.append(name).append(padded(name.size()) - name.size(), '\0');
    request.append(cookie).append(padded(cookie.size()) - cookie.size(), '\0');
    return request;
}

// The screens of an accepted connection's setup data (what follows its 8-byte header); empty
// when it does not hold together.
std::vector<X11Screen> screensOf(std::string_view setup) {
    if (setup.size() < 32) {
        return {};
    }
    const std::size_t vendor = littleEndian(setup, 16, 2);
    const std::size_t count = static_cast<uint8_t>(setup[20]);
    const std::size_t formats = static_cast<uint8_t>(setup[21]);
    std::size_t at = 32 + padded(vendor) + 8 * formats;
    std::vector<X11Screen> screens;
    for (std::size_t screen = 0; screen < count; ++screen) {
        if (at > setup.size() || setup.size() - at < 40) {
            return {};
        }
        X11Screen& found = screens.emplace_back();
        found.root = littleEndian(setup, at, 4);
        found.widthInPixels = static_cast<uint16_t>(littleEndian(setup, at + 20, 2));
        found.heightInPixels = static_cast<uint16_t>(littleEndian(setup, at + 22, 2));
        found.widthInMillimetres = static_cast<uint16_t>(littleEndian(setup, at + 24, 2));
        found.heightInMillimetres = static_cast<uint16_t>(littleEndian(setup, at + 26, 2));
        const std::size_t depths = static_cast<uint8_t>(setup[at + 39]);
        at += 40;
        for (std::size_t depth = 0; depth < depths; ++depth) {
            if (at > setup.size() || setup.size() - at < 8) {
                return {};
            }
            at += 8 + 24 * static_cast<std::size_t>(littleEndian(setup, at + 2, 2));
        }
    }
    return screens;
}

}  // namespace

std::optional<X11Display> X11Display::setUp(int socket, std::string_view cookie,
                                            const Deadline& deadline) {
    std::array<char, 8> header{};
    if (!sendAll(socket, setupRequest(cookie), deadline) ||
        !receiveExact(socket, header.data(), header.size(), deadline) ||
        static_cast<uint8_t>(header[0]) != kSetupSuccess) {
        return std::nullopt;  // refused (0) or asked for more (2): nobody is shown the reason
    }
    // At most 65535 units of 4 bytes.
    std::string setup(std::size_t{littleEndian({header.data(), header.size()}, 6, 2)} * 4, '\0');
    if (!receiveExact(socket, setup.data(), setup.size(), deadline)) {
        return std::nullopt;
    }
    std::vector<X11Screen> screens = screensOf(setup);
    if (screens.empty()) {
        return std::nullopt;
    }
    return X11Display(socket, std::move(screens));
}

std::optional<std::string> X11Display::stringProperty(uint32_t window, uint32_t property,
                                                      const Deadline& deadline) {
    std::string request;
    putLittleEndian(request, kGetPropertyOpcode, 1);
    putLittleEndian(request, 0, 1);  // do not delete
    putLittleEndian(request, 6, 2);  // request length in 4-byte units
    putLittleEndian(request, window, 4);
    putLittleEndian(request, property, 4);
    putLittleEndian(request, kStringAtom, 4);
    putLittleEndian(request, 0, 4);  // from the start
    putLittleEndian(request, kMaxPropertyUnits, 4);
    ++sequence_;
    if (!sendAll(socket_, request, deadline)) {
        return std::nullopt;
    }
    std::array<char, 32> packet{};
    const std::string_view header(packet.data(), packet.size());
    for (;;) {
        if (!receiveExact(socket_, packet.data(), packet.size(), deadline)) {
            return std::nullopt;
        }
        const auto kind = static_cast<uint8_t>(packet[0]);
        if (kind == kError) {
            return std::nullopt;  // no such window or atom
        }
        if (kind == kReply) {
            break;
        }
        if ((kind & kEventCodeBits) == kGenericEvent) {
            return std::nullopt;  // never asked for: this is no X11 stream as the client knows it
        }
    }
    const uint32_t units = littleEndian(header, 4, 4);
    const uint32_t type = littleEndian(header, 8, 4);
    const uint32_t bytesAfter = littleEndian(header, 12, 4);
    const uint32_t length = littleEndian(header, 16, 4);
    if (littleEndian(header, 2, 2) != sequence_ || units > kMaxPropertyUnits ||
        type != kStringAtom || static_cast<uint8_t>(packet[1]) != 8 || bytesAfter != 0 ||
        length > std::size_t{units} * 4) {
        return std::nullopt;
    }
    std::string value(std::size_t{units} * 4, '\0');
    if (!receiveExact(socket_, value.data(), value.size(), deadline)) {
        return std::nullopt;
    }
    value.resize(length);
    return value;
}

}  // namespace qor::platform
