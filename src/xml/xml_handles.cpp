#include "xml/xml_handles.h"

#include <libxml/tree.h>

namespace qor::xml {

Document::~Document() {
    xmlFreeDoc(doc_);
}

XmlElement XmlElement::from(const XmlNode& node) {
    if (!node || node.get()->type != XML_ELEMENT_NODE) {
        return XmlElement();
    }
    return XmlElement(node);
}

XmlNode XmlNodeList::item(std::size_t position) const {
    if (position >= items_.size()) {
        return XmlNode();
    }
    return XmlNode(document_, items_[position]);
}

}  // namespace qor::xml
