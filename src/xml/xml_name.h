#pragma once

#include <string_view>

namespace qor::xml {

// True when a text is an XML 1.0 Name (element and attribute names; colons allowed). Checked
// here rather than by libxml2, whose check prints to standard error on characters it refuses.
bool isXmlName(std::u16string_view name);

}  // namespace qor::xml
