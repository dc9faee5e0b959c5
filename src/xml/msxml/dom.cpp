// The DOM primitives over the "MSXML2.DOMDocument.3.0" DOM, through COM.
#include "xml/dom.h"

#include <msxml2.h>

#include <iterator>
#include <unordered_set>
#include <utility>

#include "bstr.h"
#include "com_check.h"
#include "com_ptr.h"
#include "dom_document.h"
#include "msxml_ids.h"
#include "xml/namespace_check.h"
#include "xml/xml_name.h"

namespace qor::xml::dom {

namespace {

NodeRef refOf(ComPtr<IXMLDOMNode> node) {
    return NodeRef(node.release());
}

DOMNodeType typeOf(IXMLDOMNode* node) {
    DOMNodeType type = NODE_INVALID;
    check(node->get_nodeType(&type));
    return type;
}

ComPtr<IXMLDOMElement> elementOf(IXMLDOMNode* node) {
    ComPtr<IXMLDOMElement> element;
    check(node->QueryInterface(kIidXmlDomElement, reinterpret_cast<void**>(element.put())));
    return element;
}

void setText(Variant& variant, std::u16string_view text) {
    variant.get()->vt = VT_BSTR;
    variant.get()->bstrVal = Bstr(text).release();
}

std::u16string stringOf(const VARIANT& value) {
    return std::u16string(reinterpret_cast<const char16_t*>(value.bstrVal),
                          SysStringLen(value.bstrVal));
}

// Where a node stands in its document: the position among its siblings of each node on the way
// up to the top. (The DOM under Wine makes a new object for every node it hands out, so
// nodes cannot be compared by identity.)
std::vector<long> placeOf(IXMLDOMNode* node) {
    std::vector<long> place;
    node->AddRef();
    for (ComPtr<IXMLDOMNode> current(node); current;) {
        long position = 0;
        for (ComPtr<IXMLDOMNode> sibling = current;;) {
            ComPtr<IXMLDOMNode> previous;
            check(sibling->get_previousSibling(previous.put()));
            if (!previous) {
                break;
            }
            ++position;
            sibling = std::move(previous);
        }
        place.push_back(position);
        ComPtr<IXMLDOMNode> parent;
        check(current->get_parentNode(parent.put()));
        if (!parent) {
            // The top: the document, or a node not (yet) in the tree, which is a place apart.
            place.push_back(typeOf(current.get()) == NODE_DOCUMENT ? -1 : -2);
        }
        current = std::move(parent);
    }
    return place;
}

// The value of the default namespace declaration ("xmlns") an element carries: for an element
// without a prefix its own namespace, which that declaration sets; else read by name. Nullopt
// when it cannot be had.
std::optional<std::u16string> defaultDeclarationOf(IXMLDOMNode* element) {
    if (prefixOf(nameOf(element)).empty()) {
        return namespaceOf(element);
    }
    const Bstr declaration(u"xmlns");
    Variant value;
    if (elementOf(element)->getAttribute(declaration.get(), value.get()) != S_OK ||
        value.value().vt != VT_BSTR) {
        // Wine's DOM has no attribute for it either; its own markup of the element has it.
        Bstr markup;
        check(element->get_xml(markup.put()));
        return defaultDeclarationIn(markup.text());
    }
    return stringOf(value.value());
}

struct Entry {
    std::u16string name;
    std::u16string value;
    ComPtr<IXMLDOMNode> node;  // null for the default declaration read by name
};

// The entries of an element's attribute map, each name once, in the map's order. Wine's map
// counts the namespace declarations but hands them out one position late (the first twice, the
// last past `length`), and cannot hand out the default one at all. So the map is walked until it
// says there is nothing more, each name is taken once, and a position the map fails to hand out
// is the default declaration, read by name where it stands; when the element has none, the
// failure is the map's own and raises.
std::vector<Entry> entriesOf(IXMLDOMNode* element) {
    std::vector<Entry> entries;
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
    std::unordered_set<std::u16string> seen;
    for (long index = 0; index < 2 * count + 2; ++index) {
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
        if (seen.insert(name).second) {
            std::u16string value = valueOf(attribute.get());
            entries.push_back({std::move(name), std::move(value), std::move(attribute)});
        }
    }
    return entries;
}

}  // namespace

void retain(RawNode node) {
    node->AddRef();
}

void release(RawNode node) {
    node->Release();
}

void freeDocument(RawDocument document) {
    document->Release();
}

ParseResult parse(std::u16string_view text, OwnedDocument& document, ParseFailure& failure) {
    OwnedDocument made = createDocument();
    if (!made) {
        return ParseResult::kNoParser;
    }
    if (!loadDocument(made.get(), text, failure)) {
        return ParseResult::kRefused;
    }
    document = std::move(made);
    return ParseResult::kParsed;
}

OwnedDocument newDocument() {
    OwnedDocument document = createDocument();
    if (document) {
        configureDocument(document.get());
    }
    return document;
}

RawNode documentNode(RawDocument document) {
    return document;
}

NodeRef documentElement(RawDocument document) {
    ComPtr<IXMLDOMElement> root;
    check(document->get_documentElement(root.put()));
    IXMLDOMNode* node = nullptr;
    if (root) {
        check(root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(&node)));
    }
    return NodeRef(node);
}

Kind kindOf(RawNode node) {
    // By DOMNodeType: none, element, attribute, text, CDATA section, entity reference, entity,
    // processing instruction, comment, document.
    static constexpr Kind kKinds[] = {
        Kind::kOther,   Kind::kElement, Kind::kOther, Kind::kText,
        Kind::kCdata,   Kind::kOther,   Kind::kOther, Kind::kProcessingInstruction,
        Kind::kComment, Kind::kDocument};
    DOMNodeType type = NODE_INVALID;
    if (FAILED(node->get_nodeType(&type)) || type < 0 ||
        type >= static_cast<int>(std::size(kKinds))) {
        return Kind::kOther;
    }
    return kKinds[type];
}

std::u16string nameOf(RawNode node) {
    Bstr name;
    check(node->get_nodeName(name.put()));
    return name.text();
}

std::u16string namespaceOf(RawNode element) {
    Bstr uri;
    check(element->get_namespaceURI(uri.put()));
    return uri.text();
}

std::u16string valueOf(RawNode node) {
    Variant value;
    check(node->get_nodeValue(value.get()));
    if (value.value().vt != VT_BSTR) {
        check(VariantChangeType(value.get(), value.get(), 0, VT_BSTR));
    }
    return stringOf(value.value());
}

std::u16string textOf(RawNode node) {
    Bstr text;
    check(node->get_text(text.put()));
    return text.text();
}

int32_t lineOf(RawNode) {
    return 0;  // the DOM does not tell
}

NodeRef parentOf(RawNode node) {
    ComPtr<IXMLDOMNode> parent;
    check(node->get_parentNode(parent.put()));
    return refOf(std::move(parent));
}

NodeRef firstChild(RawNode node) {
    ComPtr<IXMLDOMNode> child;
    check(node->get_firstChild(child.put()));
    return refOf(std::move(child));
}

NodeRef nextSibling(RawNode node) {
    ComPtr<IXMLDOMNode> sibling;
    check(node->get_nextSibling(sibling.put()));
    return refOf(std::move(sibling));
}

bool isSameNode(RawNode first, RawNode second) {
    return placeOf(first) == placeOf(second);
}

Attributes attributesOf(RawNode element) {
    Attributes result;
    for (Entry& entry : entriesOf(element)) {
        if (isNamespaceDeclaration(entry.name)) {
            result.declarations.push_back(
                {entry.name.size() > 5 ? entry.name.substr(6) : std::u16string(),
                 std::move(entry.value)});
        } else {
            std::u16string uri =
                prefixOf(entry.name).empty() ? std::u16string() : namespaceOf(entry.node.get());
            result.attributes.push_back(
                {std::move(entry.name), std::move(uri), std::move(entry.value)});
        }
    }
    return result;
}

std::optional<std::u16string> attributeValue(RawNode element, std::u16string_view name) {
    for (Entry& entry : entriesOf(element)) {
        if (entry.name == name) {
            return std::move(entry.value);
        }
    }
    return std::nullopt;
}

void appendElement(RawNode parent, std::u16string_view name, std::u16string_view uri,
                   std::u16string_view text) {
    ComPtr<IXMLDOMDocument> document;
    checkMade(parent->get_ownerDocument(document.put()), document);
    Variant type;
    type.get()->vt = VT_I4;
    type.get()->lVal = NODE_ELEMENT;
    const Bstr elementName(name);
    const Bstr elementNamespace(uri);
    ComPtr<IXMLDOMNode> element;
    checkMade(document->createNode(type.value(), elementName.get(), elementNamespace.get(),
                                   element.put()),
              element);
    // The text goes in as a text node of its own: taken as it is, never parsed.
    if (!text.empty()) {
        const Bstr content(text);
        ComPtr<IXMLDOMText> textNode;
        checkMade(document->createTextNode(content.get(), textNode.put()), textNode);
        if (text.find(u'\r') != std::u16string_view::npos) {
            // Wine's createTextNode turns carriage returns into line feeds; the value set
            // afterwards is kept as it is.
            Variant value;
            setText(value, text);
            check(textNode->put_nodeValue(value.value()));
        }
        ComPtr<IXMLDOMNode> appendedText;
        check(element->appendChild(textNode.get(), appendedText.put()));
    }
    appendChild(parent, element.get());
}

void setAttribute(RawNode element, std::u16string_view name, std::u16string_view,
                  std::u16string_view value) {
    const Bstr attributeName(name);
    Variant attributeValue;
    setText(attributeValue, value);
    check(elementOf(element)->setAttribute(attributeName.get(), attributeValue.value()));
}

void appendChild(RawNode parent, RawNode child) {
    ComPtr<IXMLDOMNode> appended;
    check(parent->appendChild(child, appended.put()));
}

NodeRef importNode(RawNode node, RawDocument) {
    // The copy belongs to the source's document until it is appended; the DOM then moves it.
    ComPtr<IXMLDOMNode> copy;
    checkMade(node->cloneNode(VARIANT_TRUE, copy.put()), copy);
    return refOf(std::move(copy));
}

NodeRef selectFirst(RawDocument document, RawNode context, const std::u16string& query) {
    const Bstr text(std::u16string_view(query.c_str()));
    ComPtr<IXMLDOMNodeList> nodes;
    checkMade((context != nullptr ? context : document)->selectNodes(text.get(), nodes.put()),
              nodes);
    IXMLDOMNode* first = nullptr;
    check(nodes->get_item(0, &first));
    return NodeRef(first);
}

}  // namespace qor::xml::dom
