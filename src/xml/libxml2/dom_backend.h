#pragma once

struct _xmlDoc;
struct _xmlNode;

namespace qor::xml::dom {

// The libxml2 back end's references are plain pointers. Nodes live as long as their document,
// which the handles keep alive, so a reference counts nothing.
inline void retain(_xmlNode*) {}
inline void release(_xmlNode*) {}
void freeDocument(_xmlDoc* document);

using RawDocument = _xmlDoc*;
using RawNode = _xmlNode*;

}  // namespace qor::xml::dom
