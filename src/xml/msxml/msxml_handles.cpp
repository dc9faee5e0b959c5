#include <msxml2.h>

#include <climits>
#include <utility>

#include "msxml_ids.h"
#include "xml_backend.h"

namespace qor::xml {

void ReleaseDocument::operator()(IXMLDOMDocument2* document) const {
    document->Release();
}

XmlNode::XmlNode(const XmlNode& other) : document_(other.document_), node_(other.node_) {
    if (node_ != nullptr) {
        node_->AddRef();
    }
}

XmlNode::XmlNode(XmlNode&& other) noexcept
    : document_(std::move(other.document_)), node_(std::exchange(other.node_, nullptr)) {}

XmlNode& XmlNode::operator=(XmlNode other) noexcept {
    std::swap(document_, other.document_);
    std::swap(node_, other.node_);
    return *this;
}

XmlNode::~XmlNode() {
    if (node_ != nullptr) {
        node_->Release();
    }
}

XmlElement XmlElement::from(const XmlNode& node) {
    if (!node) {
        return XmlElement();
    }
    IXMLDOMElement* element = nullptr;
    if (FAILED(node.get()->QueryInterface(kIidXmlDomElement, reinterpret_cast<void**>(&element))) ||
        element == nullptr) {
        return XmlElement();
    }
    element->Release();  // the handle keeps the node's own reference
    return XmlElement(node);
}

Selection::Selection(Selection&& other) noexcept
    : document_(std::move(other.document_)), nodes_(std::exchange(other.nodes_, nullptr)) {}

Selection::~Selection() {
    if (nodes_ != nullptr) {
        nodes_->Release();
    }
}

std::size_t Selection::size() const {
    long length = 0;
    if (nodes_ == nullptr || FAILED(nodes_->get_length(&length)) || length < 0) {
        return 0;
    }
    return static_cast<std::size_t>(length);
}

XmlNode Selection::node(std::size_t position) const {
    IXMLDOMNode* node = nullptr;
    if (nodes_ == nullptr || position > static_cast<std::size_t>(LONG_MAX) ||
        FAILED(nodes_->get_item(static_cast<long>(position), &node))) {
        return XmlNode();
    }
    return XmlNode(document_, node);
}

}  // namespace qor::xml
