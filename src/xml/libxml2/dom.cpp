// The DOM primitives over libxml2's tree.
#include "xml/dom.h"

#include <libxml/tree.h>

#include <memory>

#include "platform/utf8.h"
#include "xml/dom_error.h"
#include "xml/libxml2/namespace_reconciler.h"
#include "xml/libxml2/parser_session.h"
#include "xml/libxml2/query_engine.h"
#include "xml/xml_name.h"

namespace qor::xml::dom {

namespace {

std::u16string fromXml(const xmlChar* text) {
    return text != nullptr ? platform::fromUtf8(reinterpret_cast<const char*>(text))
                           : std::u16string();
}

// A namespace name. libxml2 keeps an ampersand written as a reference in a declaration's value as
// "&#38;" (it is the only character it does so with, and a "&" never stands there otherwise).
std::u16string namespaceName(const xmlNs* ns) {
    std::u16string stored = fromXml(ns->href);
    if (stored.find(u'&') == std::u16string::npos) {
        return stored;
    }
    std::u16string name;
    for (std::size_t at = 0; at < stored.size();) {
        const bool reference = stored.compare(at, 5, u"&#38;") == 0;
        name += reference ? u'&' : stored[at];
        at += reference ? 5 : 1;
    }
    return name;
}

std::u16string qualified(const xmlNs* ns, const xmlChar* name) {
    if (ns == nullptr || ns->prefix == nullptr) {
        return fromXml(name);
    }
    return fromXml(ns->prefix) + u":" + fromXml(name);
}

// The value of an attribute: nearly always one text node, read where it lies.
std::u16string valueOfAttribute(const xmlAttr* attribute) {
    const xmlNode* text = attribute->children;
    if (text == nullptr) {
        return {};
    }
    if (text->type == XML_TEXT_NODE && text->next == nullptr) {
        return fromXml(text->content);
    }
    return textOf(reinterpret_cast<xmlNode*>(const_cast<xmlAttr*>(attribute)));
}

// True when `name` is "prefix:local", or "local" for a null prefix, compared as UTF-8 bytes.
bool hasQualifiedName(std::string_view name, const xmlChar* prefix, const xmlChar* local) {
    const std::string_view localName(reinterpret_cast<const char*>(local));
    if (prefix == nullptr) {
        return name == localName;
    }
    const std::string_view prefixName(reinterpret_cast<const char*>(prefix));
    return name.size() == prefixName.size() + 1 + localName.size() &&
           name.starts_with(prefixName) && name[prefixName.size()] == ':' &&
           name.ends_with(localName);
}

// The declaration a qualified name's prefix stands for at `element`; null without a prefix.
xmlNs* namespaceOfName(xmlNode* element, std::u16string_view name) {
    const std::u16string_view prefix = prefixOf(name);
    if (prefix.empty()) {
        return nullptr;
    }
    xmlNs* ns = xmlSearchNs(element->doc, element, BAD_CAST platform::toUtf8(prefix).c_str());
    if (ns == nullptr) {
        throw DomError(DomError::kInvalidArgument);
    }
    return ns;
}

std::string localPartOf(std::u16string_view name) {
    const std::u16string_view prefix = prefixOf(name);
    return platform::toUtf8(prefix.empty() ? name : name.substr(prefix.size() + 1));
}

struct FreeNode {
    void operator()(xmlNode* node) const { xmlFreeNode(node); }
};

// Makes a node without a parent the last child of `parent`. Every name in libxml2's tree points at
// a declaration, which its copy and search functions expect to be in scope: the subtree gets the
// declarations it needs where it now stands. Once attached, the parent owns the node, also when
// that then runs out of memory.
void attach(xmlNode* parent, xmlNode* child) {
    xmlAddChild(parent, child);
    reconcileNamespaces(child);
}

}  // namespace

void freeDocument(RawDocument document) {
    xmlFreeDoc(document);
}

ParseResult parse(std::u16string_view text, OwnedDocument& document, ParseFailure& failure) {
    ParserSession& session = ParserSession::instance();
    if (!session.prepare(text.size())) {
        return ParseResult::kNoParser;
    }
    document.reset(session.parse(text, failure));
    return document ? ParseResult::kParsed : ParseResult::kRefused;
}

OwnedDocument newDocument() {
    OwnedDocument document(xmlNewDoc(BAD_CAST "1.0"));
    if (document) {
        document->encoding = xmlStrdup(BAD_CAST "UTF-8");  // as a parsed document's
    }
    return document;
}

RawNode documentNode(RawDocument document) {
    return reinterpret_cast<xmlNode*>(document);
}

NodeRef documentElement(RawDocument document) {
    return NodeRef(xmlDocGetRootElement(document));
}

Kind kindOf(RawNode node) {
    switch (node->type) {
        case XML_ELEMENT_NODE:
            return Kind::kElement;
        case XML_TEXT_NODE:
            return Kind::kText;
        case XML_CDATA_SECTION_NODE:
            return Kind::kCdata;
        case XML_COMMENT_NODE:
            return Kind::kComment;
        case XML_PI_NODE:
            return Kind::kProcessingInstruction;
        case XML_DOCUMENT_NODE:
            return Kind::kDocument;
        default:
            return Kind::kOther;
    }
}

std::u16string nameOf(RawNode node) {
    switch (node->type) {
        case XML_ELEMENT_NODE:
        case XML_ATTRIBUTE_NODE:
            return qualified(node->ns, node->name);
        case XML_TEXT_NODE:
            return u"#text";
        case XML_CDATA_SECTION_NODE:
            return u"#cdata-section";
        case XML_COMMENT_NODE:
            return u"#comment";
        case XML_DOCUMENT_NODE:
            return u"#document";
        default:
            return fromXml(node->name);
    }
}

std::u16string namespaceOf(RawNode element) {
    return element->ns != nullptr ? namespaceName(element->ns) : std::u16string();
}

std::u16string valueOf(RawNode node) {
    return fromXml(node->content);
}

std::u16string textOf(RawNode node) {
    const std::unique_ptr<xmlChar, void (*)(void*)> content(xmlNodeGetContent(node), xmlFree);
    return fromXml(content.get());
}

int32_t lineOf(RawNode node) {
    return static_cast<int32_t>(xmlGetLineNo(node));
}

NodeRef parentOf(RawNode node) {
    return NodeRef(node->parent);
}

NodeRef firstChild(RawNode node) {
    return NodeRef(node->children);
}

NodeRef nextSibling(RawNode node) {
    return NodeRef(node->next);
}

bool isSameNode(RawNode first, RawNode second) {
    return first == second;
}

Attributes attributesOf(RawNode element) {
    Attributes result;
    for (const xmlNs* ns = element->nsDef; ns != nullptr; ns = ns->next) {
        result.declarations.push_back({fromXml(ns->prefix), namespaceName(ns)});
    }
    for (const xmlAttr* attribute = element->properties; attribute != nullptr;
         attribute = attribute->next) {
        result.attributes.push_back(
            {qualified(attribute->ns, attribute->name),
             attribute->ns != nullptr ? namespaceName(attribute->ns) : std::u16string(),
             valueOfAttribute(attribute)});
    }
    return result;
}

std::optional<std::u16string> attributeValue(RawNode element, std::u16string_view name) {
    const std::string wanted = platform::toUtf8(name);
    for (const xmlNs* ns = element->nsDef; ns != nullptr; ns = ns->next) {
        if (hasQualifiedName(wanted, ns->prefix != nullptr ? BAD_CAST "xmlns" : nullptr,
                             ns->prefix != nullptr ? ns->prefix : BAD_CAST "xmlns")) {
            return namespaceName(ns);
        }
    }
    for (const xmlAttr* attribute = element->properties; attribute != nullptr;
         attribute = attribute->next) {
        if (hasQualifiedName(wanted, attribute->ns != nullptr ? attribute->ns->prefix : nullptr,
                             attribute->name)) {
            return valueOfAttribute(attribute);
        }
    }
    return std::nullopt;
}

void appendElement(RawNode parent, std::u16string_view name, std::u16string_view,
                   std::u16string_view text) {
    xmlNs* ns = namespaceOfName(parent, name);
    std::unique_ptr<xmlNode, FreeNode> element(
        xmlNewDocNode(parent->doc, ns, BAD_CAST localPartOf(name).c_str(), nullptr));
    if (!element) {
        throw DomError(DomError::kOutOfMemory);
    }
    if (!text.empty()) {
        const std::string content = platform::toUtf8(text);
        xmlNode* textNode = xmlNewDocTextLen(parent->doc, BAD_CAST content.data(),
                                             static_cast<int>(content.size()));
        if (textNode == nullptr) {
            throw DomError(DomError::kOutOfMemory);
        }
        xmlAddChild(element.get(), textNode);
    }
    attach(parent, element.release());
}

void setAttribute(RawNode element, std::u16string_view name, std::u16string_view,
                  std::u16string_view value) {
    xmlNs* ns = namespaceOfName(element, name);
    if (xmlSetNsProp(element, ns, BAD_CAST localPartOf(name).c_str(),
                     BAD_CAST platform::toUtf8(value).c_str()) == nullptr) {
        throw DomError(DomError::kOutOfMemory);
    }
}

void appendChild(RawNode parent, RawNode child) {
    xmlUnlinkNode(child);
    attach(parent, child);
}

NodeRef importNode(RawNode node, RawDocument document) {
    xmlNode* copy = xmlDocCopyNode(node, document, 1);
    if (copy == nullptr) {
        throw DomError(DomError::kOutOfMemory);
    }
    return NodeRef(copy);
}

NodeRef selectFirst(RawDocument document, RawNode context, const std::u16string& query) {
    return NodeRef(QueryEngine::instance().first(document, query, context));
}

}  // namespace qor::xml::dom
