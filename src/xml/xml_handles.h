#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace qor::xml {

// Owns one DOM document. Handles share it, so a document lives as long as its wrapper or any
// handle into it, whichever goes last.
class Document {
  public:
    explicit Document(_xmlDoc* doc) : doc_(doc) {}
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    ~Document();

    _xmlDoc* get() const { return doc_; }

  private:
    _xmlDoc* doc_;
};

// A counted reference to a node; null when empty. Keeps the node's document alive.
class XmlNode {
  public:
    XmlNode() = default;
    XmlNode(std::shared_ptr<Document> document, _xmlNode* node)
        : document_(std::move(document)), node_(node) {}

    explicit operator bool() const { return node_ != nullptr; }
    _xmlNode* get() const { return node_; }
    // The line the node stood on in the parsed text; 0 when unknown.
    int32_t line() const;
    const std::shared_ptr<Document>& document() const { return document_; }

  private:
    std::shared_ptr<Document> document_;
    _xmlNode* node_ = nullptr;
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
    XmlNodeList(std::shared_ptr<Document> document, std::vector<_xmlNode*> items)
        : document_(std::move(document)), items_(std::move(items)) {}

    explicit operator bool() const { return document_ != nullptr; }
    std::size_t size() const { return items_.size(); }
    // The node at a position; null outside the list.
    XmlNode item(std::size_t position) const;

  private:
    std::shared_ptr<Document> document_;
    std::vector<_xmlNode*> items_;
};

// Attribute names to values, ordered by code unit; the first value stored for a name stays.
using AttributeMap = std::map<std::u16string, std::u16string>;

}  // namespace qor::xml
