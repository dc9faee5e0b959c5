#pragma once

#include <string_view>

namespace qor::platform {

// The directory part of a file path: everything before the last '/', that '/' excluded; the
// whole path when it holds none. A backslash is an ordinary file-name character here.
constexpr std::u16string_view directoryPart(std::u16string_view path) {
    const std::size_t separator = path.rfind(u'/');
    return separator == std::u16string_view::npos ? path : path.substr(0, separator);
}

}  // namespace qor::platform
