#pragma once

#include <string>
#include <vector>

#include "xml/xml_parser.h"

namespace qor::test {

// Reads a received XML text structurally: values and element names by query, never by spelling.
class XmlView {
  public:
    explicit XmlView(const std::u16string& text) { parsed_ = parser_.initWithXMLString(text); }

    bool parsed() const { return parsed_; }
    bool has(const std::u16string& query) { return parser_.nodeExistsXQuery(query); }
    // The text content of the first node selected, or "<none>".
    std::u16string text(const std::u16string& query) {
        std::u16string value = u"<none>";
        parser_.stringValueForXQuery(query, value);
        return value;
    }
    // The names of the element children of the first element selected.
    std::vector<std::u16string> childNames(const std::u16string& query) {
        std::vector<std::u16string> names;
        const xml::XmlElement node = parser_.getNodeForXQuery(query);
        if (!node) {
            return names;
        }
        int32_t count = 0;
        const xml::XmlNodeList children = parser_.getChildNodesOfNode(node, &count);
        for (int32_t index = 0; index < count; ++index) {
            if (const xml::XmlElement child = parser_.getNodeAtIndexFromNodeList(children, index)) {
                std::u16string name;
                parser_.getMapOfNode(child, name);
                names.push_back(name);
            }
        }
        return names;
    }

  private:
    xml::XMLParser parser_;
    bool parsed_ = false;
};

}  // namespace qor::test
