#pragma once

#include <string>

#include "xml/child_elements.h"
#include "xml/xml_parser.h"

namespace qor::host {

// Reads a UTF-8 XML file into `document`; throws HostError naming the file (and the line of the
// first error) when it is missing, unreadable or not well formed.
void loadXmlFile(const std::string& path, xml::XMLParser& document);

// Parses the UTF-8 `text` read from `path` into `document`; throws HostError as loadXmlFile.
void loadXmlText(const std::string& path, const std::string& text, xml::XMLParser& document);

// A file's text; throws HostError with the system's reason when it cannot be read.
std::string readTextFile(const std::string& path);

// " (/abs/dir/lib.so)": where a relative path with a directory part resolves from the current
// directory, for messages; empty for an absolute path and a bare name (which the loader looks up
// on its search path).
std::string resolvedFromHere(const std::string& path);

// Why a file named by `path` cannot be used: the system's reason for `error` (an errno value),
// and the path it resolves to when that differs.
std::string unusableFile(const std::string& path, int error);

// The value of an attribute, or `fallback` when it is absent.
std::u16string attributeOr(const xml::AttributeMap& attributes, const std::u16string& name,
                           const std::u16string& fallback = u"");

// Text for people: UTF-16 to UTF-8.
std::string narrow(const std::u16string& text);

// The text content of an element (the text of its whole subtree).
std::u16string textOf(xml::XMLParser& document, const xml::XmlNode& element);

// The element's name.
std::u16string nameOf(xml::XMLParser& document, const xml::XmlNode& element);

// Calls visit(name, element) for each element child, in document order.
template <typename Visit>
void forEachElement(xml::XMLParser& document, const xml::XmlNode& parent, Visit visit) {
    xml::forEachChildElement(document, parent, [&](const xml::XmlElement& child) {
        visit(nameOf(document, child), child);
    });
}

}  // namespace qor::host
