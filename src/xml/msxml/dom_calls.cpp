#include "dom_calls.h"

#include <msxml2.h>

#include "bstr.h"

namespace qor::xml {

std::u16string nameOf(IXMLDOMNode* node) {
    Bstr name;
    check(node->get_nodeName(name.put()));
    return name.text();
}

std::u16string valueOf(IXMLDOMNode* node) {
    Variant value;
    check(node->get_nodeValue(value.get()));
    if (value.value().vt != VT_BSTR) {
        check(VariantChangeType(value.get(), value.get(), 0, VT_BSTR));
    }
    return std::u16string(reinterpret_cast<const char16_t*>(value.value().bstrVal),
                          SysStringLen(value.value().bstrVal));
}

std::u16string textOf(IXMLDOMNode* node) {
    Bstr text;
    check(node->get_text(text.put()));
    return text.text();
}

}  // namespace qor::xml
