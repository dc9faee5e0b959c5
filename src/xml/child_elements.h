#pragma once

#include <cstdint>

#include "xml/xml_parser.h"

namespace qor::xml {

// Calls visit(element) for every element child of `node`, in document order; text, comments and
// other nodes are skipped.
template <typename Visit>
void forEachChildElement(XMLParser& document, const XmlNode& node, Visit visit) {
    int32_t count = 0;
    const XmlNodeList children = document.getChildNodesOfNode(node, &count);
    for (int32_t index = 0; index < count; ++index) {
        if (const XmlElement child = document.getNodeAtIndexFromNodeList(children, index)) {
            visit(child);
        }
    }
}

}  // namespace qor::xml
