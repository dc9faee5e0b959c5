#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/deadline.h"

namespace qor::platform {

// What the screen resolution needs of one X11 screen.
struct X11Screen {
    uint32_t root = 0;
    uint16_t widthInPixels = 0;
    uint16_t heightInPixels = 0;
    uint16_t widthInMillimetres = 0;
    uint16_t heightInMillimetres = 0;
};

// The longest property value that is read: 64 Ki units of 4 bytes, as requested.
inline constexpr std::size_t kMaxX11PropertyBytes = std::size_t{65536} * 4;

// Just enough of the X11 protocol to read the screens and a text property, spoken over a
// connected stream socket that stays its owner's: a local or TCP connection to a real server, or
// one end of a socket pair. Xlib and libxcb both write a server's refusal ("Authorization
// required, ...") to standard error and wait without bound; this prints nothing, checks every
// length the server sends before allocating anything for it, and waits no longer than the
// deadline it is given.
class X11Display {
  public:
    // The connection setup, little-endian, presenting a MIT-MAGIC-COOKIE-1 cookie when one is
    // given. Nothing when the server refuses the client, asks for more authentication, sends a
    // setup that does not hold together or without a screen, or does not answer in time.
    static std::optional<X11Display> setUp(int socket, std::string_view cookie,
                                           const Deadline& deadline);

    const std::vector<X11Screen>& screens() const { return screens_; }

    // The bytes of a window's property of type STRING and format 8. Nothing when it is absent,
    // of another type or format, longer than kMaxX11PropertyBytes (a value cut short is no
    // value), refused with an error, when the reply does not hold together or does not arrive
    // in time. Events that come before the reply are skipped.
    std::optional<std::string> stringProperty(uint32_t window, uint32_t property,
                                              const Deadline& deadline);

  private:
    X11Display(int socket, std::vector<X11Screen> screens)
        : socket_(socket), screens_(std::move(screens)) {}

    int socket_;
    std::vector<X11Screen> screens_;
    uint16_t sequence_ = 0;  // of the last request sent
};

}  // namespace qor::platform
