#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "com_ptr.h"
#include "xml/dom_error.h"

struct IXMLDOMNode;
struct IXMLDOMNamedNodeMap;

namespace qor::xml {

// A DOM call in its raising form: a failure code becomes a DomError.
inline void check(HRESULT result) {
    if (FAILED(result)) {
        throw DomError(static_cast<uint32_t>(result));
    }
}

// A DOM call that must produce an object: none raises 0x80004003.
template <typename Interface>
void checkMade(HRESULT result, const ComPtr<Interface>& made) {
    check(result);
    if (!made) {
        throw DomError(DomError::kPointer);
    }
}

// The node's qualified name (nodeName).
std::u16string nameOf(IXMLDOMNode* node);
// The node's value (nodeValue) as text: a string copied, any other value converted to its string
// form.
std::u16string valueOf(IXMLDOMNode* node);
// The node's text content (text): for an element the text of its whole subtree.
std::u16string textOf(IXMLDOMNode* node);
// One attribute of an element: its qualified name, its value and its node (null for a default
// namespace declaration read by name, see attributesOf).
struct AttributeEntry {
    std::u16string name;
    std::u16string value;
    ComPtr<IXMLDOMNode> node;
};
// The attribute map of an element could not be had (`attributes`) or not counted (`length`).
class AttributeMapError : public DomError {
  public:
    enum Step { kAttributes, kLength };
    AttributeMapError(Step step, uint32_t code) : DomError(code), step_(step) {}
    Step step() const { return step_; }

  private:
    Step step_;
};
// The attributes of an element's attribute map, namespace declarations included, each name once,
// in the map's order; positions are not trusted (see dom_calls.cpp). Empty for a node without an
// attribute map. Throws AttributeMapError when the map cannot be had or counted, DomError when
// an item cannot be read.
std::vector<AttributeEntry> attributesOf(IXMLDOMNode* element);
// The namespace name of an element or attribute (namespaceURI); empty for none.
std::u16string namespaceOf(IXMLDOMNode* node);
// The namespace name a prefix ("" for the default namespace) is bound to at an element: by its
// own declarations or its ancestors'. "xml" is always bound; nullopt when the prefix is not.
std::optional<std::u16string> namespaceBoundAt(IXMLDOMNode* element, std::u16string_view prefix);

}  // namespace qor::xml
