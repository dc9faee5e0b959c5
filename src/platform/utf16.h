#pragma once

#include <cstddef>

namespace qor::platform {

// Replaces every unpaired surrogate in a UTF-16 text by U+FFFD, in place, so that the text is
// valid UTF-16 whatever it held (the conversions to UTF-8 do the same).
void replaceUnpairedSurrogates(char16_t* text, std::size_t length);

}  // namespace qor::platform
