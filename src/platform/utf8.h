#pragma once

#include <string>
#include <string_view>

namespace qor::platform {

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD; nothing is dropped or cut short.
std::string toUtf8(std::u16string_view text);

// UTF-8 to UTF-16. An invalid byte sequence becomes U+FFFD.
std::u16string fromUtf8(std::string_view text);

}  // namespace qor::platform
