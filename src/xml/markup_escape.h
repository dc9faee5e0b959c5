#pragma once

#include <string>
#include <string_view>

namespace qor::xml {

// Appends a text to markup as the DOM's serialiser escapes it: "&", "<", ">" and carriage return
// always; in an attribute value (written between double quotes) also '"', line feed and tab, so
// that a parser reads the value back unchanged. An unpaired surrogate becomes U+FFFD.
void appendEscaped(std::u16string& markup, std::u16string_view text, bool attributeValue);

}  // namespace qor::xml
