#include "dom_calls.h"

#include <msxml2.h>

#include <unordered_set>

#include "bstr.h"
#include "xml/namespace_check.h"
#include "xml/xml_name.h"

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

namespace {

// The value of the default namespace declaration ("xmlns") an element carries: for an element
// without a prefix its own namespace, which that declaration sets; else read by name. Nullopt
// when it cannot be had.
std::optional<std::u16string> defaultDeclarationOf(IXMLDOMNode* element) {
    if (prefixOf(nameOf(element)).empty()) {
        return namespaceOf(element);
    }
    ComPtr<IXMLDOMElement> asElement;
    check(element->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(asElement.put())));
    const Bstr declaration(u"xmlns");
    Variant value;
    if (asElement->getAttribute(declaration.get(), value.get()) != S_OK ||
        value.value().vt != VT_BSTR) {
        // Wine's DOM has no attribute for it either; its own markup of the element has it.
        Bstr markup;
        check(element->get_xml(markup.put()));
        return defaultDeclarationIn(markup.text());
    }
    return std::u16string(reinterpret_cast<const char16_t*>(value.value().bstrVal),
                          SysStringLen(value.value().bstrVal));
}

}  // namespace

std::vector<AttributeEntry> attributesOf(IXMLDOMNode* element) {
    std::vector<AttributeEntry> entries;
    ComPtr<IXMLDOMNamedNodeMap> map;
    if (const HRESULT result = element->get_attributes(map.put()); FAILED(result)) {
        throw AttributeMapError(AttributeMapError::kAttributes, static_cast<uint32_t>(result));
    }
    if (!map) {
        return entries;
    }
    long count = 0;
    if (const HRESULT result = map->get_length(&count); FAILED(result)) {
        throw AttributeMapError(AttributeMapError::kLength, static_cast<uint32_t>(result));
    }
    // Wine's map counts the namespace declarations but hands them out one position late (the
    // first twice, the last past `length`), and cannot hand out the default one at all. So the
    // map is walked until it says there is nothing more, each name is taken once, and a position
    // the map fails to hand out is the default declaration, read by name where it stands; when
    // the element has none, the failure is the map's own and raises.
    std::unordered_set<std::u16string> seen;
    const long bound = 2 * count + 2;
    for (long index = 0; index < bound; ++index) {
        ComPtr<IXMLDOMNode> attribute;
        const HRESULT result = map->get_item(index, attribute.put());
        if (result == S_FALSE && !attribute) {
            break;
        }
        if (FAILED(result) || !attribute) {
            std::optional<std::u16string> value = defaultDeclarationOf(element);
            if (!value) {
                throw DomError(FAILED(result) ? static_cast<uint32_t>(result) : DomError::kPointer);
            }
            if (seen.insert(u"xmlns").second) {
                entries.push_back({u"xmlns", std::move(*value), {}});
            }
            continue;
        }
        std::u16string name = nameOf(attribute.get());
        if (!seen.insert(name).second) {
            continue;
        }
        std::u16string value = valueOf(attribute.get());
        entries.push_back({std::move(name), std::move(value), std::move(attribute)});
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
