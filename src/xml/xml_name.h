#pragma once

#include <string_view>

namespace qor::xml {

// True when a text is an XML 1.0 Name (element and attribute names; colons allowed). Checked
// here rather than by libxml2, whose check prints to standard error on characters it refuses.
bool isXmlName(std::u16string_view name);

// True when a name is also a qualified name in the sense of XML namespaces: a local name, or a
// prefix and a local name joined by one colon. Others (":a", "a:", "a:b:c") cannot be read back
// by a namespace-aware parser.
bool isQualifiedName(std::u16string_view name);

// The prefix of a qualified name ("p" of "p:a"); empty when it has none.
std::u16string_view prefixOf(std::u16string_view name);

// True for "xmlns" and "xmlns:p": names that declare a namespace rather than name an attribute.
bool isNamespaceDeclaration(std::u16string_view name);

// True when every code unit is allowed in an XML 1.0 document (no control characters but tab,
// line feed and carriage return, no U+FFFE or U+FFFF). libxml2 prints to standard error when its
// query compiler meets one of the others.
bool hasOnlyXmlCharacters(std::u16string_view text);

}  // namespace qor::xml
