#pragma once

#include <string_view>

#include "xml/parse_failure.h"
#include "xml_backend.h"

namespace qor::xml {

// A new, empty, independent "MSXML2.DOMDocument.3.0" document (CLSIDFromProgID, CoCreateInstance,
// OleRun, then IXMLDOMDocument2); null when it cannot be made. The calling thread must have
// initialised COM.
OwnedDocument createDocument();

// Sets a new document up as every document of the wrapper is: loading completes inside loadXML,
// no external resources are resolved, nothing is validated, whitespace is kept as it stands.
// Throws DomError when a DOM call fails.
void configureDocument(IXMLDOMDocument2* document);

// Loads a whole text into a new document made by createDocument(), configured as above. True
// when it is well formed and has no document type declaration; otherwise false, with the reason
// in lastParseFailure().
// Throws DomError when a DOM call fails.
bool loadDocument(IXMLDOMDocument2* document, std::u16string_view text);

// True when the text's prolog holds a document type declaration. Such documents are refused
// before the DOM sees them: no entity is ever declared, expanded or fetched.
bool hasDocumentTypeDeclaration(std::u16string_view text);

// Why the last loadDocument() refused its text; empty after a success.
const ParseFailure& lastParseFailure();

}  // namespace qor::xml
