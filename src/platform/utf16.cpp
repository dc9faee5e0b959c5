#include "platform/utf16.h"

namespace qor::platform {
void replaceUnpairedSurrogates(char16_t* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (isHighSurrogate(text[i]) && i + 1 < length && isLowSurrogate(text[i + 1])) {
            ++i;
        } else if (isHighSurrogate(text[i]) || isLowSurrogate(text[i])) {
            text[i] = 0xFFFD;
        }
    }
}

}  // namespace qor::platform
