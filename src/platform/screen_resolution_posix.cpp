#include "platform/screen_resolution.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "platform/x11_display.h"

namespace qor::platform {

namespace {

// The predefined atom of the resource database that xrdb keeps on the first screen's root window.
constexpr uint32_t kResourceManagerAtom = 23;

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The "Xft.dpi" entry of a resource database text ("name: value" lines, the last entry winning),
// rounded to the nearest integer; nothing when it is absent or not a sensible number.
std::optional<int32_t> xftDpi(std::string_view resources) {
    std::optional<int32_t> dpi;
    while (!resources.empty()) {
        const std::size_t end = resources.find('\n');
        const std::string_view line = resources.substr(0, end);
        resources = end == std::string_view::npos ? std::string_view() : resources.substr(end + 1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || trimmed(line.substr(0, colon)) != "Xft.dpi") {
            continue;
        }
        const std::string_view value = trimmed(line.substr(colon + 1));
        double number = 0;
        const auto parsed = std::from_chars(value.data(), value.data() + value.size(), number);
        if (parsed.ec == std::errc() && number > 0 && number < 100000) {
            dpi = static_cast<int32_t>(std::lround(number));
        }
    }
    return dpi;
}

int32_t dotsPerInch(int pixels, int millimetres) {
    if (pixels <= 0 || millimetres <= 0) {
        return 0;
    }
    return static_cast<int32_t>(std::lround(pixels * 25.4 / millimetres));
}

}  // namespace

ScreenResolution screenResolution() {
    X11Display display = X11Display::open();
    if (!display.isOpen()) {
        return {};
    }
    const std::optional<std::string> resources =
        display.stringProperty(display.screens().front().root, kResourceManagerAtom);
    if (const std::optional<int32_t> dpi = resources ? xftDpi(*resources) : std::nullopt) {
        return {*dpi, *dpi};
    }
    const X11Screen* screen = display.defaultScreen();
    if (screen == nullptr) {
        return {};
    }
    return {dotsPerInch(screen->widthInPixels, screen->widthInMillimetres),
            dotsPerInch(screen->heightInPixels, screen->heightInMillimetres)};
}

}  // namespace qor::platform
