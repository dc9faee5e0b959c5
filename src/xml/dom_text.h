#pragma once

#include <optional>
#include <string>
#include <string_view>

struct _xmlNode;

namespace qor::xml {

// Reading and writing the texts of libxml2 nodes, converted at the edge to and from UTF-16.

// The qualified name as the DOM gives it: "prefix:name" for elements and attributes, the target
// of a processing instruction, "#text", "#comment", "#cdata-section" or "#document" otherwise.
std::u16string nodeName(const _xmlNode* node);

// The value getAttrsMapOfNode's map would hold under `name` ("prefix:name", "name", "xmlns" or
// "xmlns:prefix") for an element, read in place; nullopt when it has no such entry.
std::optional<std::u16string> attributeValue(const _xmlNode* element, std::u16string_view name);

// The node's text content: for an element the text of its whole subtree, for an attribute its
// value.
std::u16string textContent(const _xmlNode* node);

// The markup of a node and its descendants, or of a whole document (a document node), without an
// XML declaration. Throws DomError when libxml2 cannot serialise it.
std::u16string markup(_xmlNode* node);

}  // namespace qor::xml
