#include "platform/utf8.h"

#include <windows.h>

#include <limits>
#include <stdexcept>

#include "platform/utf16.h"

namespace qor::platform {

std::string toUtf8(std::u16string_view text) {
    std::string out;
    if (text.empty()) {
        return out;
    }
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() / 3)) {
        throw std::length_error("text too long for UTF-8 conversion");
    }
    // Systems differ on unpaired surrogates: they are replaced before the conversion.
    std::u16string paired(text);
    replaceUnpairedSurrogates(paired.data(), paired.size());
    const auto* wide = reinterpret_cast<const wchar_t*>(paired.data());
    const int units = static_cast<int>(paired.size());
    // One UTF-16 unit never needs more than three UTF-8 bytes.
    out.resize(paired.size() * 3);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, units, out.data(),
                                           static_cast<int>(out.size()), nullptr, nullptr);
    if (length <= 0) {
        throw std::runtime_error("UTF-16 to UTF-8 conversion failed");
    }
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::optional<std::string> toUtf8Strict(std::u16string_view text) {
    if (findUnpairedSurrogate(text) != std::u16string_view::npos) {
        return std::nullopt;
    }
    return toUtf8(text);
}

std::u16string fromUtf8(std::string_view text) {
    std::u16string out;
    if (text.empty()) {
        return out;
    }
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw std::length_error("text too long for UTF-16 conversion");
    }
    // One UTF-8 byte never gives more than one UTF-16 unit; invalid sequences become U+FFFD.
    out.resize(text.size());
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                            reinterpret_cast<wchar_t*>(out.data()), static_cast<int>(out.size()));
    if (length <= 0) {
        throw std::runtime_error("UTF-8 to UTF-16 conversion failed");
    }
    out.resize(static_cast<std::size_t>(length));
    return out;
}

}  // namespace qor::platform
