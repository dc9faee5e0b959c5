#pragma once

#include <string>

struct IXMLDOMNode;

namespace qor::xml {

// The markup of a node and its descendants, or of a whole document, written by QOR itself in one
// form on every platform: no XML declaration, no indentation or whitespace added, a document's
// top-level nodes each followed by a line feed, "<a/>" for an element without children, and in
// texts "&lt;", "&gt;", "&amp;", "&#13;" (in attribute values also "&quot;", "&#10;", "&#9;").
// Windows' DOM and Wine's write the `xml` property differently (Wine indents with tabs and CR LF
// and adds a declaration); this form is also the one the Linux build writes. Throws DomError
// when a DOM call fails.
std::u16string markupOf(IXMLDOMNode* node);

}  // namespace qor::xml
