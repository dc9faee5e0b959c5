#include "xml/xml_parser.h"

#include <optional>
#include <string_view>
#include <utility>

#include "platform/last_system_error.h"
#include "xml/dom.h"
#include "xml/dom_error.h"
#include "xml/markup_writer.h"
#include "xml/namespace_lookup.h"
#include "xml/parse_limits.h"
#include "xml/query_text.h"
#include "xml/xml_name.h"

namespace qor::xml {

namespace {

constexpr const char16_t* kComponent = u"XMLParser";

std::u16string_view untilZero(const std::u16string& text) {
    return std::u16string_view(text.c_str());
}

ParseFailure& lastFailure() {
    static ParseFailure failure;
    return failure;
}

// Kinds of node that may be appended; a text node could be merged into a neighbour and freed
// under a caller's handle, and attributes, documents and declarations are no children.
bool isAppendable(dom::Kind kind) {
    return kind == dom::Kind::kElement || kind == dom::Kind::kComment ||
           kind == dom::Kind::kProcessingInstruction || kind == dom::Kind::kCdata;
}

bool isElement(dom::RawNode node) {
    return dom::kindOf(node) == dom::Kind::kElement;
}

// Appends `child` as the last child of `parent`. A child of another document is copied into the
// parent's document (its own is left as it was); a child of the same document is moved, unless
// that would make it its own descendant.
void appendChild(const XmlNode& child, const XmlNode& parent) {
    if (!isElement(parent.get()) || !isAppendable(dom::kindOf(child.get()))) {
        throw DomError(DomError::kFail);
    }
    if (child.document() != parent.document()) {
        const dom::NodeRef copy = dom::importNode(child.get(), parent.document()->get());
        dom::appendChild(parent.get(), copy.get());
        return;
    }
    dom::NodeRef ancestor;
    for (dom::RawNode at = parent.get(); at != nullptr; at = ancestor.get()) {
        if (dom::isSameNode(at, child.get())) {
            throw DomError(DomError::kFail);
        }
        ancestor = dom::parentOf(at);
    }
    dom::appendChild(parent.get(), child.get());
}

// The namespace a name given for an element or attribute at `element` puts it in; empty for a
// name without a prefix. A name that is not a qualified name, the prefix "xmlns" or a prefix not
// bound there is refused: the markup would not parse again, or would mean something else.
std::u16string namespaceOfName(std::u16string_view name, dom::RawNode element) {
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

bool XMLParser::ready(const char16_t* operation) const {
    if (!xmlDoc_) {
        reportNotInitialized(20, operation);
    }
    return static_cast<bool>(xmlDoc_);
}

template <typename Result, typename Work>
Result XMLParser::guarded(const char16_t* operation, int32_t domLevel, Result failed,
                          Work work) const {
    try {
        return work();
    } catch (const DomError& error) {
        if (domLevel != 0) {
            reportDomError(domLevel, operation, error.code());
        }
    } catch (const std::exception&) {
        reportException(40, operation);
    }
    return failed;
}

bool XMLParser::initWithXMLString(const std::u16string& xml) {
    const std::u16string_view text = untilZero(xml);
    return guarded(u"initWithXMLString", 40, false, [&] {
        ParseFailure& failure = lastFailure();
        dom::OwnedDocument doc;
        dom::ParseResult result = dom::ParseResult::kRefused;
        if (text.empty()) {
            failure = ParseFailure{0, "the text is empty"};
        } else if (std::optional<ParseFailure> outOfBounds = checkParseLimits(text)) {
            failure = std::move(*outOfBounds);
        } else {
            result = dom::parse(text, doc, failure);
        }
        if (result == dom::ParseResult::kNoParser) {
            reportCreationFailure();
        } else if (result == dom::ParseResult::kRefused) {
            diagnoseRefusedText(failure, text);
        } else {
            adopt(std::move(doc));
        }
        return result == dom::ParseResult::kParsed;
    });
}

void XMLParser::adopt(dom::OwnedDocument doc) {
    xmlDoc_ = std::make_shared<Document>(std::move(doc));
}

bool XMLParser::initWithNode(const XmlNode& node) {
    return XmlElement::from(node) && guarded(u"initWithXMLString", 40, false, [&] {
               dom::OwnedDocument doc = dom::newDocument();
               if (!doc) {
                   reportCreationFailure();
                   return false;
               }
               const dom::NodeRef copy = dom::importNode(node.get(), doc.get());
               dom::appendChild(dom::documentNode(doc.get()), copy.get());
               adopt(std::move(doc));
               return true;
           });
}

const ParseFailure& XMLParser::lastParseFailure() {
    return lastFailure();
}

std::optional<XmlNode> XMLParser::selectFirst(const std::u16string& query, const XmlNode* context) {
    return guarded(u"nodeExistsXQuery", 40, std::optional<XmlNode>(), [&] {
        if (!xmlDoc_) {
            throw DomError(DomError::kPointer);
        }
        if (isRefusedQuery(untilZero(query))) {
            throw DomError(DomError::kFail);
        }
        return std::optional<XmlNode>(XmlNode(
            xmlDoc_, dom::selectFirst(xmlDoc_->get(), context != nullptr ? context->get() : nullptr,
                                      query)));
    });
}

bool XMLParser::nodeExistsXQuery(const std::u16string& query) {
    const std::optional<XmlNode> first = selectFirst(query);
    return first && *first;
}

bool XMLParser::stringValueForXQuery(const std::u16string& query, std::u16string& out) {
    if (!ready(u"stringValueForXQuery")) {
        return false;
    }
    const std::optional<XmlNode> first = selectFirst(query);
    return first && *first && guarded(u"stringValueForXQuery", 20, false, [&] {
               out = dom::textOf(first->get());
               return true;
           });
}

XmlElement XMLParser::getNodeForXQuery(const std::u16string& query) {
    if (!ready(u"getNodeForXQuery")) {
        return {};
    }
    const std::optional<XmlNode> first = selectFirst(query);
    return first ? XmlElement::from(*first) : XmlElement{};
}

XmlElement XMLParser::getNodeForXQuery(const std::u16string& query, const XmlNode& context) {
    if (!ready(u"getNodeForXQuery") || !context || context.document() != xmlDoc_) {
        return {};
    }
    const std::optional<XmlNode> first = selectFirst(query, &context);
    return first ? XmlElement::from(*first) : XmlElement{};
}

XmlNodeList XMLParser::getChildNodesOfNode(const XmlNode& node, int32_t* count) {
    if (count == nullptr) {
        return {};
    }
    *count = 0;
    if (!xmlDoc_) {
        return {};
    }
    if (!node) {
        throw DomError(DomError::kPointer);
    }
    std::vector<dom::NodeRef> children;
    for (dom::NodeRef child = dom::firstChild(node.get()); child;
         child = dom::nextSibling(child.get())) {
        children.push_back(child);
    }
    *count = static_cast<int32_t>(children.size());
    return children.empty() ? XmlNodeList() : XmlNodeList(node.document(), std::move(children));
}

XmlElement XMLParser::getNodeAtIndexFromNodeList(const XmlNodeList& list, int32_t index) {
    if (!list) {
        report(20, u"getNodeAtIndexFromNodeList ... NodeList is null.");
        return {};
    }
    if (!ready(u"getNodeAtIndexFromNodeList") || index < 0) {
        return {};
    }
    return XmlElement::from(list.item(static_cast<std::size_t>(index)));
}

AttributeMap XMLParser::getAttrsMapOfNode(const XmlNode& node) {
    if (!node) {
        report(20, u"getMapFromNode ... Node is null.");
        return {};
    }
    AttributeMap attributes;
    if (!ready(u"getAttrsMapOfNode")) {
        return attributes;
    }
    guarded(u"getAttrsMapOfNode", 40, false, [&] {
        if (!isElement(node.get())) {
            throw DomError(DomError::kPointer);  // no attribute map
        }
        try {
            dom::Attributes all = dom::attributesOf(node.get());
            for (dom::Declaration& declaration : all.declarations) {
                attributes.emplace(
                    declaration.prefix.empty() ? u"xmlns" : u"xmlns:" + declaration.prefix,
                    std::move(declaration.uri));
            }
            for (dom::Attribute& attribute : all.attributes) {
                attributes.emplace(std::move(attribute.name), std::move(attribute.value));
            }
        } catch (const AttributeMapError& error) {
            report(20,
                   error.step() == AttributeMapError::kAttributes
                       ? u"Failed to get Attributes from the Node :%d"
                       : u"Failed to number of Attributes for the Node :%d",
                   platform::lastSystemError());
        }
        return true;
    });
    return attributes;
}

bool XMLParser::getAttributeOfNode(const XmlNode& node, const std::u16string& name,
                                   std::u16string& value) {
    if (!node) {
        report(20, u"getMapFromNode ... Node is null.");
        return false;
    }
    return ready(u"getAttributeOfNode") && guarded(u"getAttributeOfNode", 40, false, [&] {
               if (!isElement(node.get())) {
                   throw DomError(DomError::kPointer);  // no attribute map
               }
               // The map's first entry of a name wins: declarations come before attributes.
               std::optional<std::u16string> found =
                   dom::attributeValue(node.get(), untilZero(name));
               if (found) {
                   value = std::move(*found);
               }
               return found.has_value();
           });
}

bool XMLParser::getMapOfNode(const XmlNode& node, std::u16string& name) {
    if (!node) {
        report(20, u"getMapOfNode ... Node is null.");
        return false;
    }
    if (!ready(u"getMapOfNode")) {
        return false;
    }
    name = dom::nameOf(node.get());
    return true;
}

bool XMLParser::getRootNode(XmlElement& out) {
    if (!ready(u"getRootNode")) {
        return false;
    }
    out = XmlElement::from(XmlNode(xmlDoc_, dom::documentElement(xmlDoc_->get())));
    return true;
}

bool XMLParser::addChildToNode(const XmlNode& newNode, const XmlNode& node) {
    if (!newNode || !node) {
        report(20, u"addChildToNode ... newNode or node is null!");
        return false;
    }
    return ready(u"addChildToNode") && guarded(u"addChildToNode", 40, false, [&] {
               appendChild(newNode, node);
               return true;
           });
}

bool XMLParser::addChildToNode(const std::u16string& name, const std::u16string& text,
                               const XmlNode& node) {
    if (!node) {
        report(20, u"addChildToNode ... node is null!");
        return false;
    }
    return ready(u"addChildToNode") && guarded(u"addChildToNode", 40, false, [&] {
               // Made in the parent's document, where a prefix of the name must be bound.
               if (!isElement(node.get())) {
                   throw DomError(DomError::kFail);
               }
               const std::u16string uri = namespaceOfName(untilZero(name), node.get());
               checkText(untilZero(text));
               dom::appendElement(node.get(), untilZero(name), uri, untilZero(text));
               return true;
           });
}

bool XMLParser::addAttributeToNode(const XmlElement& element, const std::u16string& name,
                                   const std::u16string& value) {
    if (!xmlDoc_) {
        report(50, u"xmldoc not initialized");
        return false;
    }
    uint32_t code = DomError::kOutOfMemory;  // copying the name or value ran out of memory
    try {
        if (!element) {
            throw DomError(DomError::kPointer);
        }
        // Namespace declarations are no attributes: setting one would move the element, or its
        // descendants, into another namespace.
        if (isNamespaceDeclaration(untilZero(name))) {
            throw DomError(DomError::kInvalidArgument);
        }
        const std::u16string uri = namespaceOfName(untilZero(name), element.get());
        checkText(untilZero(value));
        dom::setAttribute(element.get(), untilZero(name), uri, untilZero(value));
        return true;
    } catch (const DomError& error) {
        code = error.code();
    } catch (const std::bad_alloc&) {
    }
    report(50, u"Error Occured. com error:%x system error:%d\n", code, platform::lastSystemError());
    return false;
}

bool XMLParser::getXMLStringOfNode(const XmlNode& node, std::u16string& out) {
    if (!node) {
        report(20, u"getNodeXMLString ... node is null!");
        return false;
    }
    return ready(u"getXMLStringOfNode") && guarded(u"getXMLStringOfNode", 0, false, [&] {
               out = markupOf(node.get());
               return true;
           });
}

bool XMLParser::getXMLString(std::u16string& out) {
    return ready(u"getXMLString") && guarded(u"getXMLString", 0, false, [&] {
               out = markupOf(dom::documentNode(xmlDoc_->get()));
               return true;
           });
}

}  // namespace qor::xml
