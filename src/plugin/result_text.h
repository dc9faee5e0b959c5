#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "qor/plugin.h"

namespace qor {

// Allocates a zero-terminated copy of a result text for a caller, to be freed with
// releaseResult. Null when the copy cannot be allocated.
const char16_t* copyResult(std::u16string_view text);

// Where copyResult takes its memory from: malloc, unless a test puts an allocator that fails here
// (null puts malloc back). Whatever it returns is freed with free.
using ResultAllocator = void* (*)(std::size_t bytes);
void setResultAllocator(ResultAllocator allocator);

// QOR's ReleaseFunction: frees a text made by copyResult; false (and nothing freed) for null.
bool QOR_CALL releaseResult(const char16_t* text);

}  // namespace qor
