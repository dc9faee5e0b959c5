#include "platform/screen_resolution.h"

#include <windows.h>

namespace qor::platform {

// The desktop window's device context: its logical resolution, horizontal then vertical, read
// while the context is held. No context gives 0 and 0.
ScreenResolution screenResolution() noexcept {
    ScreenResolution resolution;
    HWND desktop = GetDesktopWindow();
    HDC context = GetDC(desktop);
    if (context == nullptr) {
        return resolution;
    }
    resolution.dpiX = GetDeviceCaps(context, LOGPIXELSX);
    resolution.dpiY = GetDeviceCaps(context, LOGPIXELSY);
    ReleaseDC(desktop, context);
    return resolution;
}

}  // namespace qor::platform
