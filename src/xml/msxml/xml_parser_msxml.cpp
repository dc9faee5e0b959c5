// XMLParser over the "MSXML2.DOMDocument.3.0" DOM, through COM.
#include "xml/xml_parser.h"

#include <msxml2.h>
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "bstr.h"
#include "com_ptr.h"
#include "dom_calls.h"
#include "dom_document.h"
#include "markup_writer.h"
#include "platform/last_system_error.h"
#include "xml/dom_error.h"
#include "xml/query_text.h"
#include "xml/xml_name.h"

namespace qor::xml {

namespace {

constexpr const char16_t* kComponent = u"XMLParser";
constexpr long kElementNode = 1;

std::u16string_view untilZero(const std::u16string& text) {
    return std::u16string_view(text.c_str());
}

// Kinds of node that may be appended, as in the Linux build: elements, comments, processing
// instructions and CDATA sections.
bool isAppendable(DOMNodeType type) {
    return type == NODE_ELEMENT || type == NODE_COMMENT || type == NODE_PROCESSING_INSTRUCTION ||
           type == NODE_CDATA_SECTION;
}

DOMNodeType typeOf(IXMLDOMNode* node) {
    DOMNodeType type = NODE_INVALID;
    check(node->get_nodeType(&type));
    return type;
}

// Where a node stands in its document: the position among its siblings of each node on the way
// down from the top. (The DOM under Wine makes a new object for every node it hands out, so
// nodes cannot be compared by identity.)
std::vector<long> placeOf(IXMLDOMNode* node) {
    std::vector<long> place;
    ComPtr<IXMLDOMNode> current(node);
    node->AddRef();
    for (;;) {
        long position = 0;
        ComPtr<IXMLDOMNode> sibling = current;
        for (;;) {
            ComPtr<IXMLDOMNode> previous;
            check(sibling->get_previousSibling(previous.put()));
            if (!previous) {
                break;
            }
            ++position;
            sibling = std::move(previous);
        }
        place.push_back(position);
        ComPtr<IXMLDOMNode> parent;
        check(current->get_parentNode(parent.put()));
        if (!parent) {
            // The top: the document, or a node not (yet) in the tree, which is a place apart.
            place.push_back(typeOf(current.get()) == NODE_DOCUMENT ? -1 : -2);
            break;
        }
        current = std::move(parent);
    }
    return {place.rbegin(), place.rend()};
}

// True when `ancestor` is `node` or one of its ancestors; both of one document.
bool isAncestorOrSelf(IXMLDOMNode* ancestor, IXMLDOMNode* node) {
    const std::vector<long> above = placeOf(ancestor);
    const std::vector<long> below = placeOf(node);
    return above.size() <= below.size() && std::equal(above.begin(), above.end(), below.begin());
}

// Appends `child` (of the document `childDocument`) as the last child of `parent` (of
// `parentDocument`). A node of another document goes in as a deep copy, leaving its own document
// as it was (the DOM would move it out). A node never becomes its own descendant (Wine's DOM
// does not check).
void appendChild(IXMLDOMNode* child, const Document* childDocument, IXMLDOMNode* parent,
                 const Document* parentDocument) {
    if (typeOf(parent) != NODE_ELEMENT || !isAppendable(typeOf(child))) {
        throw DomError(DomError::kFail);
    }
    ComPtr<IXMLDOMNode> appended(child);
    child->AddRef();
    if (childDocument != parentDocument) {
        checkMade(child->cloneNode(VARIANT_TRUE, appended.put()), appended);
    } else if (isAncestorOrSelf(child, parent)) {
        throw DomError(DomError::kFail);
    }
    ComPtr<IXMLDOMNode> result;
    check(parent->appendChild(appended.get(), result.put()));
}

// The namespace a name given for an element or attribute at `element` puts it in; empty for a
// name without a prefix. A name that is not a qualified name, the prefix "xmlns" or a prefix not
// bound there is refused: the markup would not parse again, or would mean something else.
std::u16string namespaceOfName(std::u16string_view name, IXMLDOMNode* element) {
    if (!isQualifiedName(name)) {
        throw DomError(DomError::kInvalidArgument);
    }
    const std::u16string_view prefix = prefixOf(name);
    if (prefix.empty()) {
        return {};
    }
    std::optional<std::u16string> uri;
    if (prefix != u"xmlns") {
        uri = namespaceBoundAt(element, prefix);
    }
    if (!uri || uri->empty()) {
        throw DomError(DomError::kInvalidArgument);
    }
    return std::move(*uri);
}

// Text that an XML 1.0 document can hold; anything else would make the markup unreadable.
void checkText(std::u16string_view text) {
    if (!hasOnlyXmlCharacters(text)) {
        throw DomError(DomError::kInvalidArgument);
    }
}

}  // namespace

template <typename... Values>
void XMLParser::report(int32_t level, const char16_t* format, Values... values) const {
    utilityLog(logger_, level, kComponent, u"", format, values...);
}

void XMLParser::reportDomError(int32_t level, const char16_t* operation, uint32_t code) const {
    const std::u16string format = u"Caught exception in ... " + std::u16string(operation) +
                                  u". com error:%x  system error:%d";
    report(level, format.c_str(), code, platform::lastSystemError());
}

void XMLParser::reportException(int32_t level, const char16_t* operation) const {
    const std::u16string format =
        u"Caught exception in ... " + std::u16string(operation) + u". error:%d";
    report(level, format.c_str(), platform::lastSystemError());
}

void XMLParser::reportNotInitialized(int32_t level, const char16_t* operation) const {
    const std::u16string text = std::u16string(operation) + u" ... XMLParser not Initialized ...";
    report(level, text.c_str());
}

void XMLParser::reportCreationFailure() const {
    report(40, u"Failed in MSXML create instance error:%d", platform::lastSystemError());
}

void XMLParser::reportAttributeError(uint32_t code) const {
    report(50, u"Error Occured. com error:%x system error:%d\n", code, platform::lastSystemError());
}

void XMLParser::adopt(OwnedDocument doc) {
    xmlDoc_ = std::make_shared<Document>(std::move(doc));
}

bool XMLParser::initWithXMLString(const std::u16string& xml) {
    OwnedDocument doc = createDocument();
    if (!doc) {
        reportCreationFailure();
        return false;
    }
    try {
        if (!loadDocument(doc.get(), untilZero(xml))) {
            diagnoseRefusedText(lastParseFailure(), untilZero(xml));
            return false;
        }
        adopt(std::move(doc));
        return true;
    } catch (const DomError& error) {
        reportDomError(40, u"initWithXMLString", error.code());
    } catch (const std::exception&) {
        reportException(40, u"initWithXMLString");
    }
    return false;
}

bool XMLParser::initWithNode(const XmlNode& node) {
    if (!XmlElement::from(node)) {
        return false;
    }
    OwnedDocument doc = createDocument();
    if (!doc) {
        reportCreationFailure();
        return false;
    }
    try {
        configureDocument(doc.get());
        ComPtr<IXMLDOMNode> copy;
        checkMade(node.get()->cloneNode(VARIANT_TRUE, copy.put()), copy);
        ComPtr<IXMLDOMNode> appended;
        check(doc->appendChild(copy.get(), appended.put()));
        adopt(std::move(doc));
        return true;
    } catch (const DomError& error) {
        reportDomError(40, u"initWithXMLString", error.code());
    } catch (const std::exception&) {
        reportException(40, u"initWithXMLString");
    }
    return false;
}

const ParseFailure& XMLParser::lastParseFailure() {
    return xml::lastParseFailure();
}

std::optional<XmlNode> XMLParser::selectFirst(const std::u16string& query, const XmlNode* context) {
    try {
        if (!xmlDoc_) {
            throw DomError(DomError::kPointer);
        }
        if (isRefusedQuery(untilZero(query))) {
            throw DomError(DomError::kFail);
        }
        const Bstr text(untilZero(query));
        ComPtr<IXMLDOMNodeList> nodes;
        IXMLDOMNode* from = context != nullptr ? context->get() : xmlDoc_->get();
        checkMade(from->selectNodes(text.get(), nodes.put()), nodes);
        return Selection(xmlDoc_, nodes.release()).node(0);
    } catch (const DomError& error) {
        reportDomError(40, u"nodeExistsXQuery", error.code());
    } catch (const std::exception&) {
        reportException(40, u"nodeExistsXQuery");
    }
    return std::nullopt;
}

bool XMLParser::nodeExistsXQuery(const std::u16string& query) {
    const std::optional<XmlNode> first = selectFirst(query);
    return first && *first;
}

bool XMLParser::stringValueForXQuery(const std::u16string& query, std::u16string& out) {
    if (!xmlDoc_) {
        reportNotInitialized(20, u"stringValueForXQuery");
        return false;
    }
    const std::optional<XmlNode> first = selectFirst(query);
    if (!first || !*first) {
        return false;
    }
    try {
        out = textOf(first->get());
        return true;
    } catch (const DomError& error) {
        reportDomError(20, u"stringValueForXQuery", error.code());
    } catch (const std::exception&) {
        reportException(40, u"stringValueForXQuery");
    }
    return false;
}

XmlElement XMLParser::getNodeForXQuery(const std::u16string& query) {
    if (!xmlDoc_) {
        reportNotInitialized(20, u"getNodeForXQuery");
        return {};
    }
    const std::optional<XmlNode> first = selectFirst(query);
    return first ? XmlElement::from(*first) : XmlElement{};
}

XmlElement XMLParser::getNodeForXQuery(const std::u16string& query, const XmlNode& context) {
    if (!xmlDoc_) {
        reportNotInitialized(20, u"getNodeForXQuery");
        return {};
    }
    if (!context || context.document() != xmlDoc_) {
        return {};
    }
    const std::optional<XmlNode> first = selectFirst(query, &context);
    return first ? XmlElement::from(*first) : XmlElement{};
}

XmlNodeList XMLParser::getChildNodesOfNode(const XmlNode& node, int32_t* count) {
    if (count == nullptr) {
        return {};
    }
    if (!xmlDoc_) {
        *count = 0;
        return {};
    }
    if (!node) {
        throw DomError(DomError::kPointer);
    }
    VARIANT_BOOL hasChildren = VARIANT_FALSE;
    check(node.get()->hasChildNodes(&hasChildren));
    if (hasChildren != VARIANT_TRUE) {
        *count = 0;
        return {};
    }
    // The children in one walk from the first: reaching each through the DOM's list would walk
    // from the first every time.
    std::vector<XmlNode> children;
    ComPtr<IXMLDOMNode> child;
    check(node.get()->get_firstChild(child.put()));
    while (child) {
        ComPtr<IXMLDOMNode> next;
        check(child->get_nextSibling(next.put()));
        children.emplace_back(node.document(), child.release());
        child = std::move(next);
    }
    *count = static_cast<int32_t>(children.size());
    return XmlNodeList(std::move(children));
}

XmlElement XMLParser::getNodeAtIndexFromNodeList(const XmlNodeList& list, int32_t index) {
    if (!list) {
        report(20, u"getNodeAtIndexFromNodeList ... NodeList is null.");
        return {};
    }
    if (!xmlDoc_) {
        reportNotInitialized(20, u"getNodeAtIndexFromNodeList");
        return {};
    }
    if (index < 0) {
        return {};
    }
    return XmlElement::from(list.item(static_cast<std::size_t>(index)));
}

AttributeMap XMLParser::getAttrsMapOfNode(const XmlNode& node) {
    AttributeMap attributes;
    if (!node) {
        report(20, u"getMapFromNode ... Node is null.");
        return attributes;
    }
    if (!xmlDoc_) {
        reportNotInitialized(20, u"getAttrsMapOfNode");
        return attributes;
    }
    try {
        if (typeOf(node.get()) != NODE_ELEMENT) {
            throw DomError(DomError::kPointer);  // no attribute map: not an element
        }
        for (AttributeEntry& attribute : attributesOf(node.get())) {
            attributes.emplace(std::move(attribute.name), std::move(attribute.value));
        }
    } catch (const AttributeMapError& error) {
        report(20,
               error.step() == AttributeMapError::kAttributes
                   ? u"Failed to get Attributes from the Node :%d"
                   : u"Failed to number of Attributes for the Node :%d",
               platform::lastSystemError());
    } catch (const DomError& error) {
        reportDomError(40, u"getAttrsMapOfNode", error.code());
    } catch (const std::exception&) {
        reportException(40, u"getAttrsMapOfNode");
    }
    return attributes;
}

bool XMLParser::getAttributeOfNode(const XmlNode& node, const std::u16string& name,
                                   std::u16string& value) {
    if (!node) {
        report(20, u"getMapFromNode ... Node is null.");
        return false;
    }
    if (!xmlDoc_) {
        reportNotInitialized(20, u"getAttributeOfNode");
        return false;
    }
    try {
        if (typeOf(node.get()) != NODE_ELEMENT) {
            throw DomError(DomError::kPointer);  // no attribute map: not an element
        }
        // Looked up by qualified name, as the map's keys are; namespace declarations included.
        for (AttributeEntry& attribute : attributesOf(node.get())) {
            if (attribute.name == untilZero(name)) {
                value = std::move(attribute.value);
                return true;
            }
        }
    } catch (const DomError& error) {
        reportDomError(40, u"getAttributeOfNode", error.code());
    } catch (const std::exception&) {
        reportException(40, u"getAttributeOfNode");
    }
    return false;
}

bool XMLParser::getMapOfNode(const XmlNode& node, std::u16string& name) {
    if (!node) {
        report(20, u"getMapOfNode ... Node is null.");
        return false;
    }
    if (!xmlDoc_) {
        reportNotInitialized(20, u"getMapOfNode");
        return false;
    }
    name = nameOf(node.get());
    return true;
}

bool XMLParser::getRootNode(XmlElement& out) {
    if (!xmlDoc_) {
        reportNotInitialized(20, u"getRootNode");
        return false;
    }
    ComPtr<IXMLDOMElement> root;
    check(xmlDoc_->get()->get_documentElement(root.put()));
    IXMLDOMNode* node = nullptr;
    if (root) {
        root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(&node));
    }
    out = XmlElement::from(XmlNode(xmlDoc_, node));
    return true;
}

bool XMLParser::addChildToNode(const XmlNode& newNode, const XmlNode& node) {
    if (!newNode || !node) {
        report(20, u"addChildToNode ... newNode or node is null!");
        return false;
    }
    if (!xmlDoc_) {
        reportNotInitialized(20, u"addChildToNode");
        return false;
    }
    try {
        appendChild(newNode.get(), newNode.document().get(), node.get(), node.document().get());
        return true;
    } catch (const DomError& error) {
        reportDomError(40, u"addChildToNode", error.code());
    }
    return false;
}

bool XMLParser::addChildToNode(const std::u16string& name, const std::u16string& text,
                               const XmlNode& node) {
    if (!node) {
        report(20, u"addChildToNode ... node is null!");
        return false;
    }
    if (!xmlDoc_) {
        reportNotInitialized(20, u"addChildToNode");
        return false;
    }
    try {
        // Made in the parent's document, where a prefix of the name must be bound.
        if (typeOf(node.get()) != NODE_ELEMENT) {
            throw DomError(DomError::kFail);
        }
        const std::u16string uri = namespaceOfName(untilZero(name), node.get());
        checkText(untilZero(text));
        Variant type;
        type.get()->vt = VT_I4;
        type.get()->lVal = kElementNode;
        const Bstr elementName(untilZero(name));
        const Bstr elementNamespace(uri);
        ComPtr<IXMLDOMNode> element;
        checkMade(xmlDoc_->get()->createNode(type.value(), elementName.get(),
                                             elementNamespace.get(), element.put()),
                  element);
        // The text goes in as a text node of its own: taken as it is, never parsed.
        if (!untilZero(text).empty()) {
            const Bstr content(untilZero(text));
            ComPtr<IXMLDOMText> textNode;
            checkMade(xmlDoc_->get()->createTextNode(content.get(), textNode.put()), textNode);
            if (untilZero(text).find(u'\r') != std::u16string_view::npos) {
                // Wine's createTextNode turns carriage returns into line feeds; the value set
                // afterwards is kept as it is.
                Variant value;
                value.get()->vt = VT_BSTR;
                value.get()->bstrVal = Bstr(untilZero(text)).release();
                check(textNode->put_nodeValue(value.value()));
            }
            ComPtr<IXMLDOMNode> appendedText;
            check(element->appendChild(textNode.get(), appendedText.put()));
        }
        appendChild(element.get(), xmlDoc_.get(), node.get(), node.document().get());
        return true;
    } catch (const DomError& error) {
        reportDomError(40, u"addChildToNode", error.code());
    } catch (const std::exception&) {
        reportException(40, u"addChildToNode");
    }
    return false;
}

bool XMLParser::addAttributeToNode(const XmlElement& element, const std::u16string& name,
                                   const std::u16string& value) {
    if (!xmlDoc_) {
        report(50, u"xmldoc not initialized");
        return false;
    }
    try {
        if (!element) {
            throw DomError(DomError::kPointer);
        }
        // Namespace declarations are no attributes: setting one would move the element, or its
        // descendants, into another namespace.
        if (isNamespaceDeclaration(untilZero(name))) {
            throw DomError(DomError::kInvalidArgument);
        }
        namespaceOfName(untilZero(name), element.get());  // refuses an unbound prefix
        checkText(untilZero(value));
        ComPtr<IXMLDOMElement> target;
        check(element.get()->QueryInterface(IID_IXMLDOMElement,
                                            reinterpret_cast<void**>(target.put())));
        const Bstr attributeName(untilZero(name));
        Variant attributeValue;
        attributeValue.get()->vt = VT_BSTR;
        attributeValue.get()->bstrVal = Bstr(untilZero(value)).release();
        check(target->setAttribute(attributeName.get(), attributeValue.value()));
        return true;
    } catch (const DomError& error) {
        reportAttributeError(error.code());
    } catch (const std::bad_alloc&) {
        // Copying the name or value for the DOM ran out of memory.
        reportAttributeError(DomError::kOutOfMemory);
    }
    return false;
}

bool XMLParser::getXMLStringOfNode(const XmlNode& node, std::u16string& out) {
    if (!node) {
        report(20, u"getNodeXMLString ... node is null!");
        return false;
    }
    if (!xmlDoc_) {
        reportNotInitialized(20, u"getXMLStringOfNode");
        return false;
    }
    try {
        out = markupOf(node.get());
        return true;
    } catch (const DomError&) {
        return false;
    } catch (const std::exception&) {
        reportException(40, u"getXMLStringOfNode");
    }
    return false;
}

bool XMLParser::getXMLString(std::u16string& out) {
    if (!xmlDoc_) {
        reportNotInitialized(20, u"getXMLString");
        return false;
    }
    try {
        out = markupOf(xmlDoc_->get());
        return true;
    } catch (const DomError&) {
        return false;
    } catch (const std::exception&) {
        reportException(40, u"getXMLString");
    }
    return false;
}

}  // namespace qor::xml
