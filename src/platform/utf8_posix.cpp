#include "platform/utf8.h"

#include <unicode/ustring.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <type_traits>

namespace qor::platform {
namespace {

constexpr UChar32 kReplacement = 0xFFFD;

// Names, markup and most values are ASCII: those are widened or narrowed unit by unit, without
// the converter.
template <typename Unit>
bool isAscii(std::basic_string_view<Unit> text) {
    Unit any = 0;
    for (const Unit unit : text) {
        any |= unit;
    }
    return (static_cast<uint32_t>(static_cast<std::make_unsigned_t<Unit>>(any)) & ~0x7Fu) == 0;
}

// Converts with `substitute` in place of an unpaired surrogate; with U_SENTINEL, null for one.
std::optional<std::string> convertToUtf8(std::u16string_view text, UChar32 substitute) {
    std::string out(text.size(), '\0');
    char16_t any = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        any |= text[i];
        out[i] = static_cast<char>(text[i]);
    }
    if ((any & ~0x7F) == 0) {
        return out;
    }
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() / 3)) {
        throw std::length_error("text too long for UTF-8 conversion");
    }
    // One UTF-16 unit never needs more than three UTF-8 bytes.
    out.resize(text.size() * 3);
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), substitute, nullptr, &status);
    if (status == U_INVALID_CHAR_FOUND && substitute == U_SENTINEL) {
        return std::nullopt;
    }
    if (U_FAILURE(status)) {
        throw std::runtime_error("UTF-16 to UTF-8 conversion failed");
    }
    out.resize(static_cast<std::size_t>(length));
    return out;
}

}  // namespace

std::string toUtf8(std::u16string_view text) {
    return *convertToUtf8(text, kReplacement);
}

std::optional<std::string> toUtf8Strict(std::u16string_view text) {
    return convertToUtf8(text, U_SENTINEL);
}

std::u16string fromUtf8(std::string_view text) {
    if (isAscii(text)) {
        return std::u16string(text.begin(), text.end());
    }
    std::u16string out;
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
        throw std::length_error("text too long for UTF-16 conversion");
    }
    // One UTF-8 byte never gives more than one UTF-16 unit.
    out.resize(text.size());
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                         static_cast<int32_t>(text.size()), kReplacement, nullptr, &status);
    if (U_FAILURE(status)) {
        throw std::runtime_error("UTF-8 to UTF-16 conversion failed");
    }
    out.resize(static_cast<std::size_t>(length));
    return out;
}

}  // namespace qor::platform
