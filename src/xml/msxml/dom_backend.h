#pragma once

// The Windows back end's references: counted references to the "MSXML2.DOMDocument.3.0" DOM's
// interfaces. Only the back end's own files see the COM declarations.

struct IXMLDOMDocument2;
struct IXMLDOMNode;

namespace qor::xml::dom {

using RawDocument = IXMLDOMDocument2*;
using RawNode = IXMLDOMNode*;

// AddRef and Release.
void retain(RawNode node);
void release(RawNode node);
// Releases the one reference a new document comes with.
void freeDocument(RawDocument document);

}  // namespace qor::xml::dom
