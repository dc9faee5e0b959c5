#include "xml/xml_parser.h"

#include <libxml/tree.h>

#include <memory>
#include <optional>
#include <string_view>

#include "platform/last_system_error.h"
#include "platform/utf8.h"
#include "xml/dom_error.h"
#include "xml/dom_text.h"
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
        xmlAddChild(parent, copy.release());
        return;
    }
    for (const xmlNode* ancestor = parent; ancestor != nullptr; ancestor = ancestor->parent) {
        if (ancestor == child) {
            throw DomError(DomError::kFail);
        }
    }
    xmlUnlinkNode(child);
    xmlAddChild(parent, child);
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

bool XMLParser::initWithXMLString(const std::u16string& xml) {
    try {
        std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(ParserSession::instance().parse(utf8Of(xml)),
                                                       &xmlFreeDoc);
        if (!doc) {
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
            throw DomError(DomError::kOutOfMemory);
        }
        doc->encoding = xmlStrdup(BAD_CAST "UTF-8");
        xmlNode* copy = xmlDocCopyNode(node.get(), doc.get(), 1);
        if (copy == nullptr) {
            throw DomError(DomError::kOutOfMemory);
        }
        xmlDocSetRootElement(doc.get(), copy);
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

std::optional<Selection> XMLParser::select(const std::u16string& query) {
    try {
        if (!xmlDoc_) {
            throw DomError(DomError::kPointer);
        }
        return QueryEngine::instance().select(xmlDoc_->get(), query);
    } catch (const DomError& error) {
        reportDomError(40, u"nodeExistsXQuery", error.code());
    } catch (const std::exception&) {
        reportException(40, u"nodeExistsXQuery");
    }
    return std::nullopt;
}

bool XMLParser::nodeExistsXQuery(const std::u16string& query) {
    const std::optional<Selection> selection = select(query);
    return selection && selection->size() != 0;
}

bool XMLParser::stringValueForXQuery(const std::u16string& query, std::u16string& out) {
    if (!xmlDoc_) {
        reportNotInitialized(20, u"stringValueForXQuery");
        return false;
    }
    const std::optional<Selection> selection = select(query);
    if (!selection || selection->size() == 0) {
        return false;
    }
    try {
        out = textContent(selection->node(0));
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
    const std::optional<Selection> selection = select(query);
    if (!selection || selection->size() == 0) {
        return {};
    }
    return XmlElement::from(XmlNode(xmlDoc_, selection->node(0)));
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
                name += u":" + platform::fromUtf8(reinterpret_cast<const char*>(ns->prefix));
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
        if (!isXmlName(untilZero(name))) {
            throw DomError(DomError::kInvalidArgument);
        }
        const std::string elementName = utf8Of(name);
        xmlDoc* doc = xmlDoc_->get();
        std::unique_ptr<xmlNode, FreeNode> element(
            xmlNewDocNode(doc, nullptr, BAD_CAST elementName.c_str(), nullptr));
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
        appendChild(element.get(), node.get());
        if (element->parent != nullptr) {
            element.release();  // now owned by its parent; otherwise a copy went in
        }
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
        if (!isXmlName(untilZero(name))) {
            throw DomError(DomError::kInvalidArgument);
        }
        const std::string attributeName = utf8Of(name);
        const std::string attributeValue = utf8Of(value);
        if (xmlSetProp(element.get(), BAD_CAST attributeName.c_str(),
                       BAD_CAST attributeValue.c_str()) == nullptr) {
            throw DomError(DomError::kOutOfMemory);
        }
        return true;
    } catch (const DomError& error) {
        report(50, u"Error Occured. com error:%x system error:%d\n", error.code(),
               platform::lastSystemError());
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
