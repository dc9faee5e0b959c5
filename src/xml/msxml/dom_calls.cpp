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

std::vector<AttributeEntry> attributesOf(IXMLDOMNode* element) {
    std::vector<AttributeEntry> entries;
    ComPtr<IXMLDOMNamedNodeMap> map;
    check(element->get_attributes(map.put()));
    if (!map) {
        return entries;
    }
    long count = 0;
    check(map->get_length(&count));
    bool missed = false;
    for (long index = 0; index < count; ++index) {
        ComPtr<IXMLDOMNode> attribute;
        if (FAILED(map->get_item(index, attribute.put())) || !attribute) {
            missed = true;
            continue;
        }
        std::u16string name = nameOf(attribute.get());
        std::u16string value = valueOf(attribute.get());
        entries.push_back({std::move(name), std::move(value), std::move(attribute)});
    }
    if (missed) {
        ComPtr<IXMLDOMElement> asElement;
        check(
            element->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(asElement.put())));
        const Bstr declaration(u"xmlns");
        Variant value;
        if (asElement->getAttribute(declaration.get(), value.get()) == S_OK &&
            value.value().vt == VT_BSTR) {
            entries.push_back(
                {u"xmlns",
                 std::u16string(reinterpret_cast<const char16_t*>(value.value().bstrVal),
                                SysStringLen(value.value().bstrVal)),
                 {}});
        }
    }
    return entries;
}

std::u16string namespaceOf(IXMLDOMNode* node) {
    Bstr uri;
    check(node->get_namespaceURI(uri.put()));
    return uri.text();
}

std::optional<std::u16string> namespaceBoundAt(IXMLDOMNode* element, std::u16string_view prefix) {
    if (prefix == u"xml") {
        return std::u16string(u"http://www.w3.org/XML/1998/namespace");
    }
    const std::u16string declaration =
        prefix.empty() ? std::u16string(u"xmlns") : u"xmlns:" + std::u16string(prefix);
    ComPtr<IXMLDOMNode> current(element);
    element->AddRef();
    while (current) {
        DOMNodeType type = NODE_INVALID;
        check(current->get_nodeType(&type));
        if (type != NODE_ELEMENT) {
            break;
        }
        for (const AttributeEntry& attribute : attributesOf(current.get())) {
            if (attribute.name == declaration) {
                return attribute.value;
            }
        }
        ComPtr<IXMLDOMNode> parent;
        check(current->get_parentNode(parent.put()));
        current = std::move(parent);
    }
    if (prefix.empty()) {
        return std::u16string();  // no default namespace: no namespace
    }
    return std::nullopt;
}

}  // namespace qor::xml
