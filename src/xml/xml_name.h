#pragma once

#include <string_view>

namespace qor::xml {

// True when a text is an XML 1.0 Name (element and attribute names; colons allowed). Checked
// here rather than by libxml2, whose check prints to standard error on characters it refuses.
bool isXmlName(std::u16string_view name);

// True when every code unit is allowed in an XML 1.0 document (no control characters but tab,
// line feed and carriage return, no U+FFFE or U+FFFF). libxml2 prints to standard error when its
// query compiler meets one of the others.
bool hasOnlyXmlCharacters(std::u16string_view text);

}  // namespace qor::xml
