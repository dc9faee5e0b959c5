#include "xml/xml_handles.h"

#include "xml/dom.h"

namespace qor::xml {

int32_t XmlNode::line() const {
    return node_ ? dom::lineOf(node_.get()) : 0;
}

XmlElement XmlElement::from(const XmlNode& node) {
    if (!node || dom::kindOf(node.get()) != dom::Kind::kElement) {
        return XmlElement();
    }
    return XmlElement(node);
}

}  // namespace qor::xml
