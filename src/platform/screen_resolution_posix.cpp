#include "platform/screen_resolution.h"

#include <cmath>
#include <cstdlib>
#include <memory>

#include "platform/dynamic_library.h"

namespace qor::platform {

namespace {

struct Display;

// The few Xlib functions needed, looked up in libX11 loaded at run time.
class Xlib {
  public:
    static const Xlib& instance() {
        static const Xlib xlib;
        return xlib;
    }

    bool available() const {
        return openDisplay && closeDisplay && getDefault && defaultScreen && displayWidth &&
               displayWidthMM && displayHeight && displayHeightMM;
    }

    Display* (*openDisplay)(const char*) = nullptr;
    int (*closeDisplay)(Display*) = nullptr;
    char* (*getDefault)(Display*, const char*, const char*) = nullptr;
    int (*defaultScreen)(Display*) = nullptr;
    int (*displayWidth)(Display*, int) = nullptr;
    int (*displayWidthMM)(Display*, int) = nullptr;
    int (*displayHeight)(Display*, int) = nullptr;
    int (*displayHeightMM)(Display*, int) = nullptr;

  private:
    Xlib() : library_(DynamicLibrary::openResident(u"libX11.so.6")) {
        bind(openDisplay, "XOpenDisplay");
        bind(closeDisplay, "XCloseDisplay");
        bind(getDefault, "XGetDefault");
        bind(defaultScreen, "XDefaultScreen");
        bind(displayWidth, "XDisplayWidth");
        bind(displayWidthMM, "XDisplayWidthMM");
        bind(displayHeight, "XDisplayHeight");
        bind(displayHeightMM, "XDisplayHeightMM");
    }

    template <typename Function>
    void bind(Function& function, const char* name) {
        function = reinterpret_cast<Function>(library_.symbol(name));
    }

    DynamicLibrary library_;
};

int32_t dotsPerInch(int pixels, int millimetres) {
    if (pixels <= 0 || millimetres <= 0) {
        return 0;
    }
    return static_cast<int32_t>(std::lround(pixels * 25.4 / millimetres));
}

}  // namespace

ScreenResolution screenResolution() {
    const Xlib& xlib = Xlib::instance();
    if (!xlib.available()) {
        return {};
    }
    const std::unique_ptr<Display, int (*)(Display*)> display(xlib.openDisplay(nullptr),
                                                              xlib.closeDisplay);
    if (!display) {
        return {};
    }
    if (const char* resource = xlib.getDefault(display.get(), "Xft", "dpi")) {
        const double dpi = std::strtod(resource, nullptr);
        if (dpi > 0 && dpi < 100000) {
            const auto rounded = static_cast<int32_t>(std::lround(dpi));
            return {rounded, rounded};
        }
    }
    const int screen = xlib.defaultScreen(display.get());
    return {dotsPerInch(xlib.displayWidth(display.get(), screen),
                        xlib.displayWidthMM(display.get(), screen)),
            dotsPerInch(xlib.displayHeight(display.get(), screen),
                        xlib.displayHeightMM(display.get(), screen))};
}

}  // namespace qor::platform
