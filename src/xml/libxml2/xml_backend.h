#pragma once

// The libxml2 back end's types behind XMLParser: handles, the parse session, the query engine.

#include <memory>

#include "xml/parser_session.h"
#include "xml/query_engine.h"
#include "xml/xml_handles.h"

namespace qor::xml {

// A freshly made document, not yet held by a wrapper.
using OwnedDocument = std::unique_ptr<_xmlDoc, void (*)(_xmlDoc*)>;

}  // namespace qor::xml
