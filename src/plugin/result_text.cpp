#include "plugin/result_text.h"

#include <algorithm>
#include <cstdlib>

namespace qor {

namespace {

ResultAllocator resultAllocator = std::malloc;

}  // namespace

void setResultAllocator(ResultAllocator allocator) {
    resultAllocator = allocator != nullptr ? allocator : std::malloc;
}

const char16_t* copyResult(std::u16string_view text) {
    const std::size_t units = text.size() + 1;
    auto* copy = static_cast<char16_t*>(resultAllocator(units * sizeof(char16_t)));
    if (copy == nullptr) {
        return nullptr;
    }
    std::copy(text.begin(), text.end(), copy);  // an empty view may have no data at all
    copy[text.size()] = u'\0';
    return copy;
}

bool QOR_CALL releaseResult(const char16_t* text) {
    if (text == nullptr) {
        return false;
    }
    // The text came from copyResult's malloc; the caller hands it back as const.
    std::free(const_cast<char16_t*>(text));
    return true;
}

}  // namespace qor
