#pragma once

#include <string_view>

#include "xml/node_ref.h"
#include "xml/parse_failure.h"

namespace qor::xml {

// A new, empty, independent "MSXML2.DOMDocument.3.0" document (CLSIDFromProgID, CoCreateInstance,
// OleRun, then IXMLDOMDocument2); null when it cannot be made. The calling thread must have
// initialised COM.
dom::OwnedDocument createDocument();

// Sets a new document up as every document of the wrapper is: loading completes inside loadXML,
// no external resources are resolved, nothing is validated, whitespace is kept as it stands.
// Throws DomError when a DOM call fails.
void configureDocument(IXMLDOMDocument2* document);

// Loads a whole text, within the bounds of parse_limits.h, into a new document made by
// createDocument(), configured as above. True when it is namespace-well-formed; otherwise false,
// with the reason in `failure`. Throws DomError when a DOM call fails.
bool loadDocument(IXMLDOMDocument2* document, std::u16string_view text, ParseFailure& failure);

}  // namespace qor::xml
