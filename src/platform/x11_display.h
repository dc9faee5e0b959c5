#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qor::platform {

// What the screen resolution needs of one X11 screen.
struct X11Screen {
    uint32_t root = 0;
    uint16_t widthInPixels = 0;
    uint16_t heightInPixels = 0;
    uint16_t widthInMillimetres = 0;
    uint16_t heightInMillimetres = 0;
};

// A connection to the X server that DISPLAY names, speaking just enough of the X11 protocol to
// read the screens and a text property. Xlib and libxcb both write a server's refusal
// ("Authorization required, ...") to standard error; this prints nothing: a display that cannot be
// reached or that refuses the client gives a connection that is not open. It authenticates with the
// MIT-MAGIC-COOKIE-1 entry of the authority file (XAUTHORITY, else ~/.Xauthority) that Xlib would
// choose, and every wait is bounded, so a stalled server cannot hold its caller.
class X11Display {
  public:
    // Connects to the display named by DISPLAY.
    static X11Display open();

    X11Display(X11Display&& other) noexcept;
    X11Display& operator=(X11Display&&) = delete;
    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;
    ~X11Display();

    bool isOpen() const { return socket_ >= 0; }
    const std::vector<X11Screen>& screens() const { return screens_; }
    // The screen DISPLAY names (its ".screen" part), or null when there is no such screen.
    const X11Screen* defaultScreen() const;

    // The bytes of a window's property of type STRING (at most 256 KiB), or nothing.
    std::optional<std::string> stringProperty(uint32_t window, uint32_t property);

  private:
    X11Display() = default;

    int socket_ = -1;
    std::size_t defaultScreen_ = 0;
    std::vector<X11Screen> screens_;
};

}  // namespace qor::platform
