#pragma once

#include <cstddef>
#include <string_view>

namespace qor::platform {

inline bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

inline bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Where the first surrogate without its partner stands; npos when every surrogate is paired.
std::size_t findUnpairedSurrogate(std::u16string_view text);

// Replaces every unpaired surrogate in a UTF-16 text by U+FFFD, in place, so that the text is
// valid UTF-16 whatever it held (the conversions to UTF-8 do the same).
void replaceUnpairedSurrogates(char16_t* text, std::size_t length);

}  // namespace qor::platform
