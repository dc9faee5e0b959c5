#pragma once

#include <string_view>

namespace qor::platform {

// The directory part of a file path cut at one separator: everything before its last occurrence,
// that separator excluded; the whole path when it holds none.
constexpr std::u16string_view directoryPartAt(std::u16string_view path, char16_t separator) {
    const std::size_t position = path.rfind(separator);
    return position == std::u16string_view::npos ? path : path.substr(0, position);
}

// The directory part of an applet's path with this platform's separator: '/' on Linux, where a
// backslash is an ordinary file-name character; the backslash on Windows, where '/' does not
// count.
std::u16string_view directoryPart(std::u16string_view path);

}  // namespace qor::platform
