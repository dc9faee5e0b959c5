#include "xml/namespace_lookup.h"

namespace qor::xml {

std::optional<std::u16string> namespaceBoundAt(dom::RawNode element, std::u16string_view prefix) {
    if (prefix == u"xml") {
        return std::u16string(u"http://www.w3.org/XML/1998/namespace");
    }
    dom::NodeRef ancestor;  // keeps the element looked at alive
    for (dom::RawNode at = element; at != nullptr && dom::kindOf(at) == dom::Kind::kElement;
         at = ancestor.get()) {
        for (dom::Declaration& declaration : dom::attributesOf(at).declarations) {
            if (declaration.prefix == prefix) {
                return std::move(declaration.uri);
            }
        }
        ancestor = dom::parentOf(at);
    }
    if (prefix.empty()) {
        return std::u16string();
    }
    return std::nullopt;
}

}  // namespace qor::xml
