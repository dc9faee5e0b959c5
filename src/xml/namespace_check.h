#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "xml/parse_failure.h"

namespace qor::xml {

// The first namespace error of a text that is otherwise well formed, as a namespace-aware parser
// (libxml2) refuses it: an element or attribute prefix no declaration binds, a prefix declared
// with an empty name, "xmlns" declared as a prefix, "xml" bound to another name, and the xml or
// xmlns namespace names bound to another prefix or as the default. Nullopt when there is none.
// For a DOM that lets these pass; the text is read as markup, not checked for well-formedness.
std::optional<ParseFailure> namespaceErrorIn(std::u16string_view text);

// The value of the default namespace declaration ("xmlns") of the first start tag of a markup
// text, character and entity references replaced; nullopt when that tag has none.
std::optional<std::u16string> defaultDeclarationIn(std::u16string_view markup);

}  // namespace qor::xml
