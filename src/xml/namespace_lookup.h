#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "xml/dom.h"

namespace qor::xml {

// The namespace name a prefix ("" for the default namespace) is bound to at an element, by its
// own declarations or its ancestors'. "xml" is always bound; "" without a declaration is no
// namespace (empty); nullopt for any other prefix no declaration binds.
std::optional<std::u16string> namespaceBoundAt(dom::RawNode element, std::u16string_view prefix);

}  // namespace qor::xml
