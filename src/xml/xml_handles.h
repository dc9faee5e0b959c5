#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "xml/node_ref.h"

namespace qor::xml {

// Owns one DOM document. Handles share it, so a document lives as long as its wrapper or any
// handle into it, whichever goes last.
class Document {
  public:
    explicit Document(dom::OwnedDocument document) : document_(std::move(document)) {}
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    dom::RawDocument get() const { return document_.get(); }

  private:
    dom::OwnedDocument document_;
};

// A reference to a node; null when empty. Keeps the node's document alive.
class XmlNode {
  public:
    XmlNode() = default;
    XmlNode(std::shared_ptr<Document> document, dom::NodeRef node)
        : document_(std::move(document)), node_(std::move(node)) {}

    explicit operator bool() const { return static_cast<bool>(node_); }
    dom::RawNode get() const { return node_.get(); }
    // The line the node stood on in the parsed text; 0 when unknown.
    int32_t line() const;
    const std::shared_ptr<Document>& document() const { return document_; }

  private:
    std::shared_ptr<Document> document_;
    dom::NodeRef node_;
};

// A node handle that is null or refers to an element.
class XmlElement : public XmlNode {
  public:
    XmlElement() = default;
    // The element behind a node; null for any other kind of node (attribute, text, comment,
    // processing instruction).
    static XmlElement from(const XmlNode& node);

  private:
    explicit XmlElement(const XmlNode& node) : XmlNode(node) {}
};

// The children of a node as they were when the list was taken; null when empty.
class XmlNodeList {
  public:
    XmlNodeList() = default;
    XmlNodeList(std::shared_ptr<Document> document, std::vector<dom::NodeRef> items)
        : document_(std::move(document)),
          items_(std::make_shared<const std::vector<dom::NodeRef>>(std::move(items))) {}

    explicit operator bool() const { return items_ != nullptr; }
    std::size_t size() const { return items_ ? items_->size() : 0; }
    // The node at a position; null outside the list.
    XmlNode item(std::size_t position) const {
        return position < size() ? XmlNode(document_, (*items_)[position]) : XmlNode();
    }

  private:
    std::shared_ptr<Document> document_;
    std::shared_ptr<const std::vector<dom::NodeRef>> items_;
};

// Attribute names to values, ordered by code unit; the first value stored for a name stays.
using AttributeMap = std::map<std::u16string, std::u16string>;

}  // namespace qor::xml
