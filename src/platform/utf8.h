#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qor::platform {

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD; nothing is dropped or cut short.
std::string toUtf8(std::u16string_view text);

// UTF-16 to UTF-8 for a text that must arrive as written: null when it holds an unpaired
// surrogate, which no UTF-8 text can carry.
std::optional<std::string> toUtf8Strict(std::u16string_view text);

// UTF-8 to UTF-16. An invalid byte sequence becomes U+FFFD.
std::u16string fromUtf8(std::string_view text);

}  // namespace qor::platform
