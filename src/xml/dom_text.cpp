#include "xml/dom_text.h"

#include <libxml/tree.h>

#include <memory>

#include "platform/utf8.h"
#include "xml/dom_error.h"
#include "xml/markup_writer.h"
#include "xml/namespace_reconciler.h"

namespace qor::xml {

namespace {

std::u16string fromXmlChars(const xmlChar* text) {
    return text != nullptr ? platform::fromUtf8(reinterpret_cast<const char*>(text))
                           : std::u16string();
}

std::u16string qualified(const xmlNs* ns, const xmlChar* name) {
    std::u16string result;
    if (ns != nullptr && ns->prefix != nullptr) {
        result = fromXmlChars(ns->prefix) + u":";
    }
    return result + fromXmlChars(name);
}

struct FreeXmlChars {
    void operator()(xmlChar* text) const { xmlFree(text); }
};

struct FreeNode {
    void operator()(xmlNode* node) const { xmlFreeNode(node); }
};

// True when an ancestor of the element declares a namespace, which the element's markup on its
// own would then lack.
bool inheritsDeclarations(const xmlNode* node) {
    if (node->type != XML_ELEMENT_NODE) {
        return false;
    }
    for (const xmlNode* ancestor = node->parent;
         ancestor != nullptr && ancestor->type == XML_ELEMENT_NODE; ancestor = ancestor->parent) {
        if (ancestor->nsDef != nullptr) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::u16string nodeName(const _xmlNode* node) {
    switch (node->type) {
        case XML_ELEMENT_NODE:
        case XML_ATTRIBUTE_NODE:
            return qualified(node->ns, node->name);
        case XML_PI_NODE:
            return fromXmlChars(node->name);
        case XML_TEXT_NODE:
            return u"#text";
        case XML_CDATA_SECTION_NODE:
            return u"#cdata-section";
        case XML_COMMENT_NODE:
            return u"#comment";
        case XML_DOCUMENT_NODE:
            return u"#document";
        default:
            return fromXmlChars(node->name);
    }
}

namespace {

// True when `qualified` is "prefix:local", or "local" for a null prefix, compared as UTF-8 bytes.
bool hasQualifiedName(std::string_view qualified, const xmlChar* prefix, const xmlChar* local) {
    const std::string_view localName(reinterpret_cast<const char*>(local));
    if (prefix == nullptr) {
        return qualified == localName;
    }
    const std::string_view prefixName(reinterpret_cast<const char*>(prefix));
    return qualified.size() == prefixName.size() + 1 + localName.size() &&
           qualified.starts_with(prefixName) && qualified[prefixName.size()] == ':' &&
           qualified.ends_with(localName);
}

}  // namespace

std::optional<std::u16string> attributeValue(const xmlNode* element, std::u16string_view name) {
    const std::string wanted = platform::toUtf8(name);
    for (const xmlNs* ns = element->nsDef; ns != nullptr; ns = ns->next) {
        if (hasQualifiedName(wanted, ns->prefix != nullptr ? BAD_CAST "xmlns" : nullptr,
                             ns->prefix != nullptr ? ns->prefix : BAD_CAST "xmlns")) {
            return fromXmlChars(ns->href);
        }
    }
    for (const xmlAttr* attribute = element->properties; attribute != nullptr;
         attribute = attribute->next) {
        const xmlChar* prefix = attribute->ns != nullptr ? attribute->ns->prefix : nullptr;
        if (hasQualifiedName(wanted, prefix, attribute->name)) {
            // Nearly every value is one text node, read where it lies.
            const xmlNode* text = attribute->children;
            if (text == nullptr) {
                return std::u16string();
            }
            if (text->type == XML_TEXT_NODE && text->next == nullptr) {
                return fromXmlChars(text->content);
            }
            return textContent(reinterpret_cast<const xmlNode*>(attribute));
        }
    }
    return std::nullopt;
}

std::u16string textContent(const _xmlNode* node) {
    const std::unique_ptr<xmlChar, FreeXmlChars> content(xmlNodeGetContent(node));
    return fromXmlChars(content.get());
}

std::u16string markup(_xmlNode* node) {
    // An element standing on its own carries the declarations it uses from its ancestors: it is
    // written from a copy of its own that declares them.
    std::unique_ptr<xmlNode, FreeNode> standalone;
    if (inheritsDeclarations(node)) {
        standalone.reset(xmlDocCopyNode(node, node->doc, 1));
        if (!standalone) {
            throw DomError(DomError::kOutOfMemory);
        }
        reconcileNamespaces(standalone.get());
        node = standalone.get();
    }
    const std::string utf8 = MarkupWriter::instance().write(node);
    return platform::fromUtf8(utf8);
}

}  // namespace qor::xml
