#pragma once

// The libxml2 back end's references: plain pointers. Nodes live as long as their document, which
// the handles keep alive, so a reference counts nothing.

struct _xmlDoc;
struct _xmlNode;

namespace qor::xml::dom {

using RawDocument = _xmlDoc*;
using RawNode = _xmlNode*;

inline void retain(RawNode) {}
inline void release(RawNode) {}
void freeDocument(RawDocument document);

}  // namespace qor::xml::dom
