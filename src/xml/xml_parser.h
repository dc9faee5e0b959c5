#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "xml/parse_failure.h"
#include "xml/utility_log.h"
#include "xml/xml_handles.h"

namespace qor::xml {

// The one way QOR reads and builds XML. A wrapper holds at most one document; callers make one
// per document, on the stack. Failures give false, null or empty results and a report through
// utilityLog (component "XMLParser"); only getChildNodesOfNode, getMapOfNode and getRootNode let
// a DomError reach the caller. Texts handed in are taken up to their first zero unit.
class XMLParser {
  public:
    explicit XMLParser(UtilityLogger* logger = nullptr) : logger_(logger) {}
    XMLParser(const XMLParser&) = delete;
    XMLParser& operator=(const XMLParser&) = delete;
    XMLParser(XMLParser&&) = default;
    XMLParser& operator=(XMLParser&&) = default;

    // Parses a whole document and makes it the held one. A text that is not well formed or not
    // namespace-well-formed (an undeclared prefix), has a document type declaration, or exceeds
    // the bounds of parse_limits.h gives false without a report and keeps the earlier document.
    // When no parser can be made: the creation report, false.
    bool initWithXMLString(const std::u16string& xml);
    // Makes a copy of a node (an element and its subtree) the held document, as if its markup had
    // been parsed: cheaper than serialising and parsing it again. False, and the earlier document
    // kept, for a null handle or a node that is not an element.
    bool initWithNode(const XmlNode& node);
    // Why the last initWithXMLString of any wrapper was refused (line and the error that made it
    // fail, never a mere warning), for tools that show it to a person; empty after a success.
    static const ParseFailure& lastParseFailure();

    // True when the query selects at least one node. Needs a document.
    bool nodeExistsXQuery(const std::u16string& query);
    // The text content of the first selected node (an attribute's value, an element's whole
    // subtree text). False, and `out` untouched, when nothing is selected.
    bool stringValueForXQuery(const std::u16string& query, std::u16string& out);
    // The first selected node if it is an element, else null.
    XmlElement getNodeForXQuery(const std::u16string& query);
    // The same with a node of the held document as the query's context node, for relative
    // queries ("descendant-or-self::a/b"); null for a null context or one of another document.
    XmlElement getNodeForXQuery(const std::u16string& query, const XmlNode& context);

    // The node's children and their number; a null list and 0 when it has none.
    XmlNodeList getChildNodesOfNode(const XmlNode& node, int32_t* count);
    // The item at an index if it is an element, else null.
    XmlElement getNodeAtIndexFromNodeList(const XmlNodeList& list, int32_t index);
    // The node's attributes (namespace declarations included); empty on failure.
    AttributeMap getAttrsMapOfNode(const XmlNode& node);
    // The value of one attribute of an element, as getAttrsMapOfNode(node)[name] would give it
    // but without building the map; false, and `value` untouched, when the element has none of
    // that name. Reports as getAttrsMapOfNode does.
    bool getAttributeOfNode(const XmlNode& node, const std::u16string& name, std::u16string& value);
    // The node's qualified name.
    bool getMapOfNode(const XmlNode& node, std::u16string& name);
    // The held document's root element.
    bool getRootNode(XmlElement& out);

    // Appends a node as the last child of another. A node of another document is copied into the
    // receiving one (the source document is left as it was). The appended subtree keeps its
    // meaning: namespace declarations it relies on are repeated on it where the new place lacks
    // them, and an element in no namespace under a default namespace gets xmlns="".
    bool addChildToNode(const XmlNode& newNode, const XmlNode& node);
    // Appends a new element with a text as its content, made in the parent's document. A name
    // with a prefix puts it in the namespace the prefix is bound to at the parent. Refused (the
    // DomError report, 0x80070057): a name that is not a qualified name, a prefix not bound there
    // or "xmlns", text with a character XML cannot hold (controls other than tab, line feed and
    // carriage return, U+FFFE, U+FFFF).
    bool addChildToNode(const std::u16string& name, const std::u16string& text,
                        const XmlNode& node);
    // Adds or replaces an attribute. Refused at level 50 with 0x80070057, like a bad name:
    // "xmlns" and "xmlns:p" (they would move elements into another namespace), a prefix not bound
    // at the element, a value with a character XML cannot hold. Memory exhausted while copying
    // the name or value: 0x8007000E.
    bool addAttributeToNode(const XmlElement& element, const std::u16string& name,
                            const std::u16string& value);

    // The markup of a node, or of the whole held document, without an XML declaration. A node's
    // markup carries the namespace declarations it uses from its ancestors, so it parses again
    // on its own with the same meaning. libxml2 defaults a host may have set do not change it.
    bool getXMLStringOfNode(const XmlNode& node, std::u16string& out);
    bool getXMLString(std::u16string& out);

  private:
    // The first node the query selects from the held document, null when it selects none; on
    // failure nullopt, reported as nodeExistsXQuery reports it.
    std::optional<XmlNode> selectFirst(const std::u16string& query,
                                       const XmlNode* context = nullptr);

    // Makes a freshly made document the held one, replacing the earlier one.
    void adopt(dom::OwnedDocument doc);

    template <typename... Values>
    void report(int32_t level, const char16_t* format, Values... values) const;
    void reportDomError(int32_t level, const char16_t* operation, uint32_t code) const;
    void reportException(int32_t level, const char16_t* operation) const;
    void reportNotInitialized(int32_t level, const char16_t* operation) const;
    void reportCreationFailure() const;
    // False, with the level-20 report, when no document is held.
    bool ready(const char16_t* operation) const;
    // Runs an operation's DOM work: a DomError becomes the report at `domLevel` (none at 0), any
    // other exception the level-40 report, and either gives `failed`.
    template <typename Result, typename Work>
    Result guarded(const char16_t* operation, int32_t domLevel, Result failed, Work work) const;

    UtilityLogger* logger_;
    std::shared_ptr<Document> xmlDoc_;
};

}  // namespace qor::xml
