#include "xml/xml_parser.h"

#include <libxml/tree.h>

#include <memory>
#include <optional>
#include <string_view>

#include "platform/last_system_error.h"
#include "platform/utf8.h"
#include "xml/dom_error.h"
#include "xml/dom_text.h"
#include "xml/namespace_reconciler.h"
#include "xml/parser_session.h"
#include "xml/query_engine.h"
#include "xml/xml_name.h"

namespace qor::xml {

namespace {

constexpr const char16_t* kComponent = u"XMLParser";

std::u16string_view untilZero(const std::u16string& text) {
    return std::u16string_view(text.c_str());
}

std::string utf8Of(const std::u16string& text) {
    return platform::toUtf8(untilZero(text));
}

struct FreeNode {
    void operator()(xmlNode* node) const { xmlFreeNode(node); }
};

// Kinds of node that may be appended; a text node could be merged into a neighbour and freed
// under a caller's handle, and attributes, documents and declarations are no children.
bool isAppendable(const xmlNode* node) {
    switch (node->type) {
        case XML_ELEMENT_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
        case XML_CDATA_SECTION_NODE:
            return true;
        default:
            return false;
    }
}

// Makes a node that belongs to no parent the last child of `parent`, in the same document, and
// gives it the namespace declarations it needs there. Once it is attached the parent owns it,
// also when reconciling then runs out of memory.
void attach(xmlNode* child, xmlNode* parent) {
    xmlAddChild(parent, child);
    reconcileNamespaces(child);
}

// Appends `child` as the last child of `parent`. A child of another document is copied into the
// parent's document; a child of the same document is moved, unless that would make it its own
// descendant.
void appendChild(xmlNode* child, xmlNode* parent) {
    if (parent->type != XML_ELEMENT_NODE || !isAppendable(child)) {
        throw DomError(DomError::kFail);
    }
    if (child->doc != parent->doc) {
        std::unique_ptr<xmlNode, FreeNode> copy(xmlDocCopyNode(child, parent->doc, 1));
        if (!copy) {
            throw DomError(DomError::kOutOfMemory);
        }
        attach(copy.release(), parent);
        return;
    }
    for (const xmlNode* ancestor = parent; ancestor != nullptr; ancestor = ancestor->parent) {
        if (ancestor == child) {
            throw DomError(DomError::kFail);
        }
    }
    xmlUnlinkNode(child);
    attach(child, parent);
}

// The namespace a prefixed name given for an element or attribute at `element` belongs to; null
// for a name without a prefix. A prefix that is not bound there, or "xmlns", is refused: the
// markup would not parse again, or would mean something else.
xmlNs* namespaceOfName(std::u16string_view name, xmlNode* element) {
    if (!isQualifiedName(name)) {
        throw DomError(DomError::kInvalidArgument);
    }
    const std::u16string_view prefix = prefixOf(name);
    if (prefix.empty()) {
        return nullptr;
    }
    const std::string prefixUtf8 = platform::toUtf8(prefix);
    xmlNs* ns = prefix == u"xmlns"
                    ? nullptr
                    : xmlSearchNs(element->doc, element, BAD_CAST prefixUtf8.c_str());
    if (ns == nullptr) {
        throw DomError(DomError::kInvalidArgument);
    }
    return ns;
}

// Text that an XML 1.0 document can hold; anything else would make the markup unreadable.
void checkText(std::u16string_view text) {
    if (!hasOnlyXmlCharacters(text)) {
        throw DomError(DomError::kInvalidArgument);
    }
}

std::string localPartOf(std::u16string_view name) {
    const std::u16string_view prefix = prefixOf(name);
    return platform::toUtf8(prefix.empty() ? name : name.substr(prefix.size() + 1));
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

bool XMLParser::initWithXMLString(const std::u16string& xml) {
    try {
        ParserSession& session = ParserSession::instance();
        if (!session.prepare(untilZero(xml).size())) {
            reportCreationFailure();
            return false;
        }
        std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(session.parse(untilZero(xml)), &xmlFreeDoc);
        if (!doc) {
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

void XMLParser::adopt(std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc) {
    auto document = std::make_shared<Document>(doc.get());  // may throw: doc still owns it
    doc.release();
    xmlDoc_ = std::move(document);
}

bool XMLParser::initWithNode(const XmlNode& node) {
    if (!node || node.get()->type != XML_ELEMENT_NODE) {
        return false;
    }
    try {
        std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(xmlNewDoc(BAD_CAST "1.0"), &xmlFreeDoc);
        if (!doc) {
            reportCreationFailure();
            return false;
        }
        doc->encoding = xmlStrdup(BAD_CAST "UTF-8");
        xmlNode* copy = xmlDocCopyNode(node.get(), doc.get(), 1);
        if (copy == nullptr) {
            throw DomError(DomError::kOutOfMemory);
        }
        xmlDocSetRootElement(doc.get(), copy);
        reconcileNamespaces(copy);
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
    return ParserSession::instance().lastFailure();
}

std::optional<XmlNode> XMLParser::selectFirst(const std::u16string& query, const XmlNode* context) {
    try {
        if (!xmlDoc_) {
            throw DomError(DomError::kPointer);
        }
        return XmlNode(
            xmlDoc_, QueryEngine::instance().first(xmlDoc_->get(), query,
                                                   context != nullptr ? context->get() : nullptr));
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
        out = textContent(first->get());
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
    std::vector<xmlNode*> children;
    for (xmlNode* child = node.get()->children; child != nullptr; child = child->next) {
        children.push_back(child);
    }
    *count = static_cast<int32_t>(children.size());
    if (children.empty()) {
        return {};
    }
    return XmlNodeList(node.document(), std::move(children));
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
        const xmlNode* element = node.get();
        if (element->type != XML_ELEMENT_NODE) {
            throw DomError(DomError::kPointer);  // no attribute map
        }
        for (const xmlNs* ns = element->nsDef; ns != nullptr; ns = ns->next) {
            std::u16string name = u"xmlns";
            if (ns->prefix != nullptr) {
                name.append(u":").append(
                    platform::fromUtf8(reinterpret_cast<const char*>(ns->prefix)));
            }
            attributes.emplace(std::move(name),
                               ns->href != nullptr
                                   ? platform::fromUtf8(reinterpret_cast<const char*>(ns->href))
                                   : std::u16string());
        }
        for (const xmlAttr* attribute = element->properties; attribute != nullptr;
             attribute = attribute->next) {
            const auto* attributeNode = reinterpret_cast<const xmlNode*>(attribute);
            attributes.emplace(nodeName(attributeNode), textContent(attributeNode));
        }
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
        const xmlNode* element = node.get();
        if (element->type != XML_ELEMENT_NODE) {
            throw DomError(DomError::kPointer);  // no attribute map
        }
        // The map's first entry of a name wins: namespace declarations come before attributes.
        if (std::optional<std::u16string> found = attributeValue(element, name)) {
            value = std::move(*found);
            return true;
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
    name = nodeName(node.get());
    return true;
}

bool XMLParser::getRootNode(XmlElement& out) {
    if (!xmlDoc_) {
        reportNotInitialized(20, u"getRootNode");
        return false;
    }
    out = XmlElement::from(XmlNode(xmlDoc_, xmlDocGetRootElement(xmlDoc_->get())));
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
        appendChild(newNode.get(), node.get());
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
        xmlNode* parent = node.get();
        if (parent->type != XML_ELEMENT_NODE) {
            throw DomError(DomError::kFail);
        }
        xmlNs* ns = namespaceOfName(untilZero(name), parent);
        checkText(untilZero(text));
        const std::string elementName = localPartOf(untilZero(name));
        xmlDoc* doc = parent->doc;
        std::unique_ptr<xmlNode, FreeNode> element(
            xmlNewDocNode(doc, ns, BAD_CAST elementName.c_str(), nullptr));
        if (!element) {
            throw DomError(DomError::kPointer);
        }
        const std::string content = utf8Of(text);
        if (!content.empty()) {
            xmlNode* textNode =
                xmlNewDocTextLen(doc, BAD_CAST content.data(), static_cast<int>(content.size()));
            if (textNode == nullptr) {
                throw DomError(DomError::kOutOfMemory);
            }
            xmlAddChild(element.get(), textNode);
        }
        attach(element.release(), parent);
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
        xmlNs* ns = namespaceOfName(untilZero(name), element.get());
        checkText(untilZero(value));
        const std::string attributeName = localPartOf(untilZero(name));
        const std::string attributeValue = utf8Of(value);
        if (xmlSetNsProp(element.get(), ns, BAD_CAST attributeName.c_str(),
                         BAD_CAST attributeValue.c_str()) == nullptr) {
            throw DomError(DomError::kOutOfMemory);
        }
        return true;
    } catch (const DomError& error) {
        reportAttributeError(error.code());
    } catch (const std::bad_alloc&) {
        // Copying the name or value for the DOM ran out of memory.
        reportAttributeError(DomError::kOutOfMemory);
    }
    return false;
}

void XMLParser::reportAttributeError(uint32_t code) const {
    report(50, u"Error Occured. com error:%x system error:%d\n", code, platform::lastSystemError());
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
        out = markup(node.get());
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
        out = markup(reinterpret_cast<xmlNode*>(xmlDoc_->get()));
        return true;
    } catch (const DomError&) {
        return false;
    } catch (const std::exception&) {
        reportException(40, u"getXMLString");
    }
    return false;
}

}  // namespace qor::xml
