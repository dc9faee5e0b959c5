#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/deadline.h"
#include "platform/screen_resolution.h"

namespace qor::platform {

// The resolutions believed, in dots per inch. From the largest screens a desktop runs on (a
// 100-inch projection 1,920 pixels wide is 22 dpi) to the densest panels (an 8K panel of 16
// inches is 550 dpi) and the largest scaling desktops offer (Xft.dpi 96 times a text scale of 3
// and a window scale of 4 is 1,152), with a margin. Anything else is a measurement gone wrong: a
// screen that claims 1 mm, a rounded-down Xft.dpi of 0.4.
inline constexpr int32_t kMinBelievedDpi = 20;
inline constexpr int32_t kMaxBelievedDpi = 1200;

// The "Xft.dpi" entry of a resource database text ("name: value" lines; the last entry wins),
// rounded to the nearest integer. Nothing when there is none, or when the last one is not wholly
// a number that rounds to a believed resolution.
std::optional<int32_t> xftDpi(std::string_view resources);

// Measures screen `screen` of the X server at the other end of a connected stream socket: the
// "Xft.dpi" resource on the first screen's root window when it is there and believed, else the
// screen's size in pixels against its size in millimetres when both axes give believed
// resolutions, else 0 and 0 (also when the setup fails or there is no such screen).
ScreenResolution measureX11Resolution(int socket, std::string_view cookie, std::size_t screen,
                                      const Deadline& deadline);

}  // namespace qor::platform
