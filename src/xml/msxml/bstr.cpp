#include "bstr.h"

#include <limits>

#include "platform/utf16.h"
#include "xml/dom_error.h"

namespace qor::xml {

Bstr::Bstr(std::u16string_view text) {
    if (text.size() > std::numeric_limits<UINT>::max() / 2) {
        throw DomError(DomError::kOutOfMemory);
    }
    text_ = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                              static_cast<UINT>(text.size()));
    if (text_ == nullptr) {
        throw DomError(DomError::kOutOfMemory);
    }
    // The DOM refuses unpaired surrogates; they become U+FFFD, as on the way to UTF-8.
    platform::replaceUnpairedSurrogates(reinterpret_cast<char16_t*>(text_), text.size());
}

std::u16string Bstr::text() const {
    if (text_ == nullptr) {
        return {};
    }
    return std::u16string(reinterpret_cast<const char16_t*>(text_), SysStringLen(text_));
}

}  // namespace qor::xml
