#pragma once

// The DOM primitives each back end implements (src/xml/libxml2/, src/xml/msxml/): the few calls
// XMLParser and the markup writer are written once over. A back end only reads and changes its
// DOM here; guards, reports, names and characters, namespaces and markup are the front's.
// Failing calls throw DomError (AttributeMapError from attributesOf).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xml/node_ref.h"
#include "xml/parse_failure.h"

namespace qor::xml::dom {

enum class Kind { kElement, kText, kCdata, kComment, kProcessingInstruction, kDocument, kOther };

// A namespace declaration of an element: prefix ("" for the default namespace) and name.
struct Declaration {
    std::u16string prefix;
    std::u16string uri;
};
// An attribute that is no namespace declaration: qualified name, namespace name (empty for none)
// and value.
struct Attribute {
    std::u16string name;
    std::u16string uri;
    std::u16string value;
};
// An element's declarations and attributes, each name once, in the DOM's order.
struct Attributes {
    std::vector<Declaration> declarations;
    std::vector<Attribute> attributes;
};

// Documents. parse() gets a text within the bounds of parse_limits.h and gives kRefused, with the
// reason in `failure`, for one that is not namespace-well-formed or has a document type
// declaration, and kNoParser when no parser or document can be made.
enum class ParseResult { kParsed, kRefused, kNoParser };
ParseResult parse(std::u16string_view text, OwnedDocument& document, ParseFailure& failure);
// A new, empty document that serialises text as UTF-8; null when none can be made.
OwnedDocument newDocument();
RawNode documentNode(RawDocument document);
NodeRef documentElement(RawDocument document);

// Reading a node.
Kind kindOf(RawNode node);
// The qualified name: "p:a", a processing instruction's target, "#text", "#comment" and the like.
std::u16string nameOf(RawNode node);
// The namespace name of an element; empty for none.
std::u16string namespaceOf(RawNode element);
// The data of a text, CDATA section, comment or processing instruction.
std::u16string valueOf(RawNode node);
// The text content: for an element the text of its whole subtree.
std::u16string textOf(RawNode node);
// The line the node stood on in the parsed text; 0 when unknown.
int32_t lineOf(RawNode node);
NodeRef parentOf(RawNode node);
NodeRef firstChild(RawNode node);
NodeRef nextSibling(RawNode node);
// True when two references to nodes of one document are to the same node.
bool isSameNode(RawNode first, RawNode second);
// Throws AttributeMapError when the attribute map cannot be had or counted.
Attributes attributesOf(RawNode element);
// What attributesOf would give for one name ("p:a", "a", "xmlns", "xmlns:p"), read in place.
std::optional<std::u16string> attributeValue(RawNode element, std::u16string_view name);

// Changing a document. Names are qualified names whose prefix the front has found bound to `uri`
// where the node goes; texts hold only characters XML allows.
// A new element with a text (none when empty) as the last child of `parent`.
void appendElement(RawNode parent, std::u16string_view name, std::u16string_view uri,
                   std::u16string_view text);
void setAttribute(RawNode element, std::u16string_view name, std::u16string_view uri,
                  std::u16string_view value);
// Moves a node of the same document, or a parentless copy made by importNode, to the end of
// `parent`'s children (an element, or the document node of an empty document). Its names keep
// their namespaces.
void appendChild(RawNode parent, RawNode child);
// A deep copy of a node for `document`, not yet in its tree.
NodeRef importNode(RawNode node, RawDocument document);

// The first node in document order that an XPath 1.0 query selects, from `context` or, when null,
// the document; null when it selects none.
NodeRef selectFirst(RawDocument document, RawNode context, const std::u16string& query);

}  // namespace qor::xml::dom
