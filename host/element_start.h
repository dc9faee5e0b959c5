#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "xml/xml_parser.h"

namespace qor::host {

// Where elements start in an XML file's text. The XML wrapper gives an element the line on which
// its start tag ends; a start tag spread over several lines begins earlier, and people look for an
// element where it begins.
class ElementStarts {
  public:
    explicit ElementStarts(std::string text);

    // The line on which `element` of `document` (parsed from this text) begins; its wrapper line
    // when the start tag cannot be found, 0 when unknown.
    int lineOf(xml::XMLParser& document, const xml::XmlNode& element) const;

    // The line on which the start tag of `name` that ends on `endLine` begins.
    int startLine(const std::string& name, int endLine) const;

  private:
    int lineAt(std::size_t offset) const;
    std::size_t tagEnd(std::size_t from) const;

    std::string text_;
    std::vector<std::size_t> lineStarts_;  // the offset of each line's first character
};

}  // namespace qor::host
