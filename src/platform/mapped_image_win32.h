#pragma once

#include <span>

namespace qor::platform {

// The readable bytes of a mapping from its base: the committed, readable pages that follow one
// another from there within the one allocation. A module's headers and sections, as the loader
// mapped them, can be read through it without touching a page that is not there.
std::span<const unsigned char> readableMapping(const void* base);

}  // namespace qor::platform
