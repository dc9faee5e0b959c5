// The UTF-16 conversions: UTF-16 to UTF-8 and back is the identity, or the strict conversion
// reports the unpaired surrogate that makes it impossible (and the replacing one writes U+FFFD in
// exactly those places). UTF-8 from any bytes converts to UTF-16 that always goes back exactly.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/utf8.h"

namespace {

void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "UTF-16 round trip: %s\n", what);
        std::abort();
    }
}

// The text with every surrogate that has no partner replaced by U+FFFD, read code point by code
// point; `lone` tells whether there was one.
std::u16string paired(const std::u16string& text, bool& lone) {
    std::u16string out;
    lone = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit < 0xD800 || unit > 0xDFFF) {
            out += unit;
        } else if (unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                   text[i + 1] <= 0xDFFF) {
            out += unit;
            out += text[++i];
        } else {
            out += u'\uFFFD';
            lone = true;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using qor::platform::fromUtf8;
    using qor::platform::toUtf8;
    using qor::platform::toUtf8Strict;

    // The bytes two by two as UTF-16 units: any unit, zeros and surrogates included.
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    }
    bool lone = false;
    const std::u16string expected = paired(text, lone);
    const std::optional<std::string> strict = toUtf8Strict(text);
    require(strict.has_value() != lone, "the strict conversion misjudged the surrogates");
    const std::string replaced = toUtf8(text);
    require(fromUtf8(replaced) == expected, "U+FFFD is not exactly where the lone surrogates were");
    if (strict) {
        require(*strict == replaced, "the two conversions differ on a text they both convert");
        require(fromUtf8(*strict) == text, "UTF-16 to UTF-8 and back is not the identity");
    }

    // The bytes as UTF-8: what comes out is valid UTF-16, and goes back and forth unchanged.
    const std::u16string wide = fromUtf8(std::string(reinterpret_cast<const char*>(data), size));
    const std::optional<std::string> narrow = toUtf8Strict(wide);
    require(narrow.has_value(), "UTF-8 gave an unpaired surrogate");
    require(fromUtf8(*narrow) == wide, "UTF-8 to UTF-16 and back is not stable");
    return 0;
}
