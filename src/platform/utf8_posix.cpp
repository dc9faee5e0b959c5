#include "platform/utf8.h"

#include <unicode/ustring.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>
#include <type_traits>

#include "platform/utf16.h"

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

// One ICU conversion into an output of `capacity` units, never shorter than its input: the
// length it wrote. ICU counts in int32_t.
using IcuConversion = std::function<void(int32_t capacity, int32_t* length, UErrorCode* status)>;
std::size_t convert(std::size_t capacity, const IcuConversion& conversion) {
    if (capacity > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
        throw std::length_error("text too long for the UTF conversion");
    }
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    conversion(static_cast<int32_t>(capacity), &length, &status);
    if (U_FAILURE(status)) {
        throw std::runtime_error("UTF conversion failed");
    }
    return static_cast<std::size_t>(length);
}

}  // namespace

std::string toUtf8(std::u16string_view text) {
    std::string out(text.size(), '\0');
    char16_t any = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        any |= text[i];
        out[i] = static_cast<char>(text[i]);
    }
    if ((any & ~0x7F) == 0) {
        return out;
    }
    // One UTF-16 unit never needs more than three UTF-8 bytes.
    out.resize(text.size() * 3);
    out.resize(convert(out.size(), [&](int32_t capacity, int32_t* length, UErrorCode* status) {
        u_strToUTF8WithSub(out.data(), capacity, length, text.data(),
                           static_cast<int32_t>(text.size()), kReplacement, nullptr, status);
    }));
    return out;
}

std::optional<std::string> toUtf8Strict(std::u16string_view text) {
    if (findUnpairedSurrogate(text) != std::u16string_view::npos) {
        return std::nullopt;
    }
    return toUtf8(text);
}

std::u16string fromUtf8(std::string_view text) {
    if (isAscii(text)) {
        return std::u16string(text.begin(), text.end());
    }
    // One UTF-8 byte never gives more than one UTF-16 unit.
    std::u16string out(text.size(), u'\0');
    out.resize(convert(out.size(), [&](int32_t capacity, int32_t* length, UErrorCode* status) {
        u_strFromUTF8WithSub(out.data(), capacity, length, text.data(),
                             static_cast<int32_t>(text.size()), kReplacement, nullptr, status);
    }));
    return out;
}

}  // namespace qor::platform
