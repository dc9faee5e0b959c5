#pragma once

#include <windows.h>

#include <string>

#include "com_ptr.h"
#include "xml/dom_error.h"

struct IXMLDOMNode;

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

}  // namespace qor::xml
