#pragma once

// The Windows back end's types behind XMLParser: counted references to the "MSXML2.DOMDocument.3.0"
// DOM's interfaces. Only the back end's own files see the COM declarations; everything else sees
// these handles.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct IXMLDOMDocument2;
struct IXMLDOMNode;
struct IXMLDOMNodeList;

namespace qor::xml {

// Releases a document reference that no wrapper holds yet.
struct ReleaseDocument {
    void operator()(IXMLDOMDocument2* document) const;
};
// A freshly made document, not yet held by a wrapper.
using OwnedDocument = std::unique_ptr<IXMLDOMDocument2, ReleaseDocument>;

// Holds one reference to a DOM document. Handles share it, so a document lives as long as its
// wrapper or any handle into it, whichever goes last.
class Document {
  public:
    explicit Document(OwnedDocument document) : document_(std::move(document)) {}
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    IXMLDOMDocument2* get() const { return document_.get(); }

  private:
    OwnedDocument document_;
};

// A counted reference to a node; null when empty. Keeps the node's document alive.
class XmlNode {
  public:
    XmlNode() = default;
    // Takes over one reference to `node`.
    XmlNode(std::shared_ptr<Document> document, IXMLDOMNode* node)
        : document_(std::move(document)), node_(node) {}
    XmlNode(const XmlNode& other);
    XmlNode(XmlNode&& other) noexcept;
    XmlNode& operator=(XmlNode other) noexcept;
    ~XmlNode();

    explicit operator bool() const { return node_ != nullptr; }
    IXMLDOMNode* get() const { return node_; }
    // The line the node stood on in the parsed text: 0, the DOM does not tell.
    int32_t line() const { return 0; }
    const std::shared_ptr<Document>& document() const { return document_; }

  private:
    std::shared_ptr<Document> document_;
    IXMLDOMNode* node_ = nullptr;
};

// A node handle that is null or refers to an element.
class XmlElement : public XmlNode {
  public:
    XmlElement() = default;
    // The element behind a node (an interface query for IXMLDOMElement); null for any other kind
    // of node (attribute, text, comment, processing instruction).
    static XmlElement from(const XmlNode& node);

  private:
    explicit XmlElement(const XmlNode& node) : XmlNode(node) {}
};

// The children of a node as they were when the list was taken (the DOM's own lists are live and
// reach an item by walking from the first); null when empty.
class XmlNodeList {
  public:
    XmlNodeList() = default;
    explicit XmlNodeList(std::vector<XmlNode> items)
        : items_(std::make_shared<const std::vector<XmlNode>>(std::move(items))) {}

    explicit operator bool() const { return items_ != nullptr; }
    std::size_t size() const { return items_ ? items_->size() : 0; }
    // The node at a position; null outside the list.
    XmlNode item(std::size_t position) const {
        return position < size() ? (*items_)[position] : XmlNode();
    }

  private:
    std::shared_ptr<const std::vector<XmlNode>> items_;
};

// The nodes a query selected, in document order: one reference to the DOM's list.
class Selection {
  public:
    // Takes over one reference to `nodes`.
    Selection(std::shared_ptr<Document> document, IXMLDOMNodeList* nodes)
        : document_(std::move(document)), nodes_(nodes) {}
    Selection(Selection&& other) noexcept;
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection();

    std::size_t size() const;
    // The node at a position; null outside the selection.
    XmlNode node(std::size_t position) const;

  private:
    std::shared_ptr<Document> document_;
    IXMLDOMNodeList* nodes_ = nullptr;
};

// Attribute names to values, ordered by code unit; the first value stored for a name stays.
using AttributeMap = std::map<std::u16string, std::u16string>;

}  // namespace qor::xml
