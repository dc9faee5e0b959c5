#include "xml/dom_text.h"

#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <memory>

#include "platform/utf8.h"
#include "xml/dom_error.h"

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

struct FreeBuffer {
    void operator()(xmlBuffer* buffer) const { xmlBufferFree(buffer); }
};

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

std::u16string textContent(const _xmlNode* node) {
    const std::unique_ptr<xmlChar, FreeXmlChars> content(xmlNodeGetContent(node));
    return fromXmlChars(content.get());
}

std::u16string markup(_xmlNode* node) {
    const std::unique_ptr<xmlBuffer, FreeBuffer> buffer(xmlBufferCreate());
    if (!buffer) {
        throw DomError(DomError::kOutOfMemory);
    }
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_NO_DECL);
    if (save == nullptr) {
        throw DomError(DomError::kOutOfMemory);
    }
    const long written = node->type == XML_DOCUMENT_NODE
                             ? xmlSaveDoc(save, reinterpret_cast<xmlDocPtr>(node))
                             : xmlSaveTree(save, node);
    if (xmlSaveClose(save) < 0 || written < 0) {
        throw DomError(DomError::kFail);
    }
    return fromXmlChars(xmlBufferContent(buffer.get()));
}

}  // namespace qor::xml
