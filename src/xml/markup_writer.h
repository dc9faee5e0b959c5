#pragma once

#include <string>

#include "xml/dom.h"

namespace qor::xml {

// The markup of a node and everything below it, or of a whole document (each of its children
// followed by a line feed), without an XML declaration or indentation. Namespace declarations are
// written from each element's own declarations, never a prefix twice in one start tag and never
// the xml prefix, and declared where the markup written so far lacks what a name needs: an
// element below others carries what its subtree uses from above, so its markup parses again on
// its own with the same meaning. Texts are escaped as markup_escape.h says. Throws DomError when
// the DOM fails.
std::u16string markupOf(dom::RawNode node);

}  // namespace qor::xml
