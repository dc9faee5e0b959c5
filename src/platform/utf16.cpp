#include "platform/utf16.h"

namespace qor::platform {

std::size_t findUnpairedSurrogate(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            ++i;
        } else if (isHighSurrogate(text[i]) || isLowSurrogate(text[i])) {
            return i;
        }
    }
    return std::u16string_view::npos;
}

void replaceUnpairedSurrogates(char16_t* text, std::size_t length) {
    std::size_t from = 0;
    while (from < length) {
        const std::size_t lone =
            findUnpairedSurrogate(std::u16string_view(text + from, length - from));
        if (lone == std::u16string_view::npos) {
            return;
        }
        text[from + lone] = 0xFFFD;
        from += lone + 1;
    }
}

}  // namespace qor::platform
