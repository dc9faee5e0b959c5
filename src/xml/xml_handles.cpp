#include "xml/xml_handles.h"

#include <libxml/tree.h>

namespace qor::xml {

Document::~Document() {
    xmlFreeDoc(doc_);
}

int32_t XmlNode::line() const {
    return node_ != nullptr ? static_cast<int32_t>(xmlGetLineNo(node_)) : 0;
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
