#include "platform/x11_resolution.h"

#include <charconv>
#include <cmath>
#include <string>

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

std::optional<int32_t> believed(double dotsPerInch) {
    const double rounded = std::round(dotsPerInch);
    if (!(rounded >= kMinBelievedDpi && rounded <= kMaxBelievedDpi)) {
        return std::nullopt;  // also not a number
    }
    return static_cast<int32_t>(rounded);
}

std::optional<int32_t> dotsPerInch(uint16_t pixels, uint16_t millimetres) {
    if (millimetres == 0) {
        return std::nullopt;
    }
    return believed(pixels * 25.4 / millimetres);
}

}  // namespace

std::optional<int32_t> xftDpi(std::string_view resources) {
    std::optional<std::string_view> value;
    while (!resources.empty()) {
        const std::size_t end = resources.find('\n');
        const std::string_view line = resources.substr(0, end);
        resources = end == std::string_view::npos ? std::string_view() : resources.substr(end + 1);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && trimmed(line.substr(0, colon)) == "Xft.dpi") {
            value = trimmed(line.substr(colon + 1));
        }
    }
    if (!value) {
        return std::nullopt;
    }
    double number = 0;
    const char* const end = value->data() + value->size();
    const auto [stop, error] = std::from_chars(value->data(), end, number);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return believed(number);
}

ScreenResolution measureX11Resolution(int socket, std::string_view cookie, std::size_t screen,
                                      const Deadline& deadline) {
    std::optional<X11Display> display = X11Display::setUp(socket, cookie, deadline);
    if (!display || screen >= display->screens().size()) {
        return {};
    }
    const std::optional<std::string> resources =
        display->stringProperty(display->screens().front().root, kResourceManagerAtom, deadline);
    if (const std::optional<int32_t> dpi = resources ? xftDpi(*resources) : std::nullopt) {
        return {*dpi, *dpi};
    }
    const X11Screen& measured = display->screens()[screen];
    const std::optional<int32_t> x =
        dotsPerInch(measured.widthInPixels, measured.widthInMillimetres);
    const std::optional<int32_t> y =
        dotsPerInch(measured.heightInPixels, measured.heightInMillimetres);
    if (!x || !y) {
        return {};
    }
    return {*x, *y};
}

}  // namespace qor::platform
