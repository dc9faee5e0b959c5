#pragma once

#include <cstdint>

namespace qor::platform {

// The desktop's logical resolution in dots per inch; 0 and 0 when it cannot be measured.
struct ScreenResolution {
    int32_t dpiX = 0;
    int32_t dpiY = 0;

    bool isHighDpi() const { return dpiX >= 192; }
};

// Windows: the desktop window's device context (GetDeviceCaps, LOGPIXELSX and LOGPIXELSY).
// Linux: measures the X11 display named by the environment, if one can be reached, within two
// seconds all told: the "Xft.dpi" resource when set (what desktop toolkits honour), else the
// screen's size in pixels against its size in millimetres; a resolution outside the believed
// range counts as none (see x11_resolution.h). Without a display (none named, none there,
// authorization refused, no answer in time, exhausted memory) the result is 0 and 0. Nothing is
// ever printed (see X11Display).
ScreenResolution screenResolution() noexcept;

}  // namespace qor::platform
