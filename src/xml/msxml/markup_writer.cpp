#include "markup_writer.h"

#include <msxml2.h>

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "bstr.h"
#include "com_ptr.h"
#include "dom_calls.h"
#include "xml/dom_error.h"
#include "xml/markup_escape.h"
#include "xml/xml_name.h"

namespace qor::xml {
namespace {

class MarkupWriter {
  public:
    // `standsAlone`: the node written is an element below others, whose markup then carries
    // what its subtree uses from above.
    explicit MarkupWriter(bool standsAlone) : hoist_(standsAlone) {}

    std::u16string take() { return std::move(out_); }

    void write(IXMLDOMNode* node) {
        DOMNodeType type = NODE_INVALID;
        check(node->get_nodeType(&type));
        switch (type) {
            case NODE_DOCUMENT:
            case NODE_DOCUMENT_FRAGMENT:
                writeChildren(node, type == NODE_DOCUMENT ? u"\n" : u"");
                break;
            case NODE_ELEMENT:
                writeElement(node);
                break;
            case NODE_ATTRIBUTE:
                writeAttribute(node);
                break;
            case NODE_TEXT:
                appendEscaped(out_, valueOf(node), false);
                break;
            case NODE_CDATA_SECTION:
                out_ += u"<![CDATA[" + valueOf(node) + u"]]>";
                break;
            case NODE_COMMENT:
                out_ += u"<!--" + valueOf(node) + u"-->";
                break;
            case NODE_PROCESSING_INSTRUCTION: {
                const std::u16string target = nameOf(node);
                if (target == u"xml") {
                    break;  // the DOM keeps a parsed XML declaration as a node: never written
                }
                const std::u16string data = valueOf(node);
                out_ += u"<?" + target + (data.empty() ? u"" : u" " + data) + u"?>";
                break;
            }
            default:
                break;  // no declaration, entity or notation is ever loaded
        }
    }

  private:
    void writeChildren(IXMLDOMNode* node, const char16_t* after) {
        ComPtr<IXMLDOMNode> child;
        check(node->get_firstChild(child.put()));
        while (child) {
            const std::size_t before = out_.size();
            write(child.get());
            if (out_.size() != before) {
                out_ += after;
            }
            ComPtr<IXMLDOMNode> next;
            check(child->get_nextSibling(next.put()));
            child = std::move(next);
        }
    }

    void writeAttribute(IXMLDOMNode* attribute) {
        out_ += nameOf(attribute) + u"=\"";
        appendEscaped(out_, valueOf(attribute), true);
        out_ += u"\"";
    }

    // The namespace a prefixed or unprefixed name of `element` (or of one of its attributes)
    // stands for: the DOM's own, or for a name the DOM left without one, what the prefix is
    // bound to where the element stands.
    static std::u16string namespaceFor(IXMLDOMNode* node, IXMLDOMNode* element,
                                       std::u16string_view prefix) {
        std::u16string uri = namespaceOf(node);
        if (uri.empty() && !prefix.empty()) {
            uri = namespaceBoundAt(element, prefix).value_or(std::u16string());
        }
        return uri;
    }

    // What a prefix is bound to in the markup written so far.
    std::u16string boundInOutput(std::u16string_view prefix) const {
        if (prefix == u"xml") {
            return u"http://www.w3.org/XML/1998/namespace";
        }
        for (auto binding = scope_.rbegin(); binding != scope_.rend(); ++binding) {
            if (binding->first == prefix) {
                return binding->second;
            }
        }
        return {};
    }

    // Declares a prefix (or the default namespace) where the markup written so far binds it to
    // something else. A prefix is never declared empty ("xmlns:p=\"\"" is no declaration); names
    // with an unbound prefix are refused before they reach the DOM.
    void declareIfNeeded(std::u16string_view prefix, const std::u16string& uri,
                         std::size_t elementScope) {
        if ((!prefix.empty() && uri.empty()) || boundInOutput(prefix) == uri) {
            return;
        }
        if (!declaredSince(prefix, elementScope)) {  // else declared here to another name
            declare(prefix, uri);
        }
    }

    // True when the start tag being written declares the prefix already.
    bool declaredSince(std::u16string_view prefix, std::size_t elementScope) const {
        for (std::size_t i = elementScope; i < scope_.size(); ++i) {
            if (scope_[i].first == prefix) {
                return true;
            }
        }
        return false;
    }

    void declare(std::u16string_view prefix, const std::u16string& uri) {
        out_ += prefix.empty() ? std::u16string(u" xmlns=\"")
                               : u" xmlns:" + std::u16string(prefix) + u"=\"";
        appendEscaped(out_, uri, true);
        out_ += u"\"";
        scope_.emplace_back(prefix, uri);
    }

    // An element with its namespace declarations first (its own, then those its names need that
    // the markup written so far lacks: a subtree written on its own or copied keeps its meaning),
    // then its other attributes.
    void writeElement(IXMLDOMNode* element) {
        const std::u16string name = nameOf(element);
        out_ += u"<" + name;
        const std::size_t outerScope = scope_.size();
        std::vector<AttributeEntry> attributes;
        for (AttributeEntry& attribute : attributesOf(element)) {
            if (isNamespaceDeclaration(attribute.name)) {
                const std::u16string_view prefix =
                    attribute.name == u"xmlns" ? std::u16string_view()
                                               : std::u16string_view(attribute.name).substr(6);
                // The xml prefix is bound without a declaration (a copy in Wine's DOM may carry
                // it, once per xml:* attribute), and a prefix is declared once per start tag.
                if (prefix != u"xml" && !declaredSince(prefix, outerScope)) {
                    declare(prefix, attribute.value);
                }
            } else {
                attributes.push_back(std::move(attribute));
            }
        }
        const std::u16string_view elementPrefix = prefixOf(name);
        declareIfNeeded(elementPrefix, namespaceFor(element, element, elementPrefix), outerScope);
        for (const AttributeEntry& attribute : attributes) {
            const std::u16string_view prefix = prefixOf(attribute.name);
            if (prefix.empty() || prefix == u"xml") {
                continue;
            }
            declareIfNeeded(prefix, namespaceFor(attribute.node.get(), element, prefix),
                            outerScope);
        }
        if (hoist_) {
            hoist_ = false;
            std::vector<std::u16string> inner;
            hoistFrom(element, inner);
        }
        for (const AttributeEntry& attribute : attributes) {
            out_ += u" " + attribute.name + u"=\"";
            appendEscaped(out_, attribute.value, true);
            out_ += u"\"";
        }
        VARIANT_BOOL hasChildren = VARIANT_FALSE;
        check(element->hasChildNodes(&hasChildren));
        if (hasChildren != VARIANT_TRUE) {
            out_ += u"/>";
        } else {
            out_ += u">";
            writeChildren(element, u"");
            out_ += u"</" + name + u">";
        }
        scope_.resize(outerScope);
    }

    // True when a prefix is declared in `inner` (the declarations met below the top element) or
    // on the top element.
    bool declaredBelowTop(const std::vector<std::u16string>& inner,
                          std::u16string_view prefix) const {
        return prefix == u"xml" || std::find(inner.begin(), inner.end(), prefix) != inner.end() ||
               declaredSince(prefix, 0);
    }

    // Declares on the top element, in the order of first use, the prefixes the descendants of
    // `element` use that no declaration inside the subtree binds: what a copy of the subtree in
    // a document of its own carries.
    void hoistFrom(IXMLDOMNode* element, std::vector<std::u16string>& inner) {
        ComPtr<IXMLDOMNode> child;
        check(element->get_firstChild(child.put()));
        while (child) {
            if (typeOf(child.get()) == NODE_ELEMENT) {
                const std::size_t mark = inner.size();
                std::vector<AttributeEntry> attributes = attributesOf(child.get());
                for (const AttributeEntry& attribute : attributes) {
                    if (isNamespaceDeclaration(attribute.name)) {
                        inner.emplace_back(attribute.name == u"xmlns"
                                               ? std::u16string_view()
                                               : std::u16string_view(attribute.name).substr(6));
                    }
                }
                const std::u16string name = nameOf(child.get());
                const std::u16string_view prefix = prefixOf(name);
                if (!declaredBelowTop(inner, prefix)) {
                    const std::u16string uri = namespaceFor(child.get(), child.get(), prefix);
                    if (!uri.empty()) {
                        declare(prefix, uri);
                    }
                }
                for (const AttributeEntry& attribute : attributes) {
                    const std::u16string_view attributePrefix = prefixOf(attribute.name);
                    if (!attributePrefix.empty() && attributePrefix != u"xmlns" &&
                        !declaredBelowTop(inner, attributePrefix)) {
                        const std::u16string uri =
                            namespaceFor(attribute.node.get(), child.get(), attributePrefix);
                        if (!uri.empty()) {
                            declare(attributePrefix, uri);
                        }
                    }
                }
                hoistFrom(child.get(), inner);
                inner.resize(mark);
            }
            ComPtr<IXMLDOMNode> next;
            check(child->get_nextSibling(next.put()));
            child = std::move(next);
        }
    }

    static DOMNodeType typeOf(IXMLDOMNode* node) {
        DOMNodeType type = NODE_INVALID;
        check(node->get_nodeType(&type));
        return type;
    }

    bool hoist_;
    std::vector<std::pair<std::u16string, std::u16string>> scope_;  // prefix, namespace name
    std::u16string out_;
};

}  // namespace

std::u16string markupOf(IXMLDOMNode* node) {
    bool standsAlone = false;
    DOMNodeType type = NODE_INVALID;
    check(node->get_nodeType(&type));
    if (type == NODE_ELEMENT) {
        ComPtr<IXMLDOMNode> parent;
        check(node->get_parentNode(parent.put()));
        DOMNodeType parentType = NODE_INVALID;
        standsAlone =
            parent && SUCCEEDED(parent->get_nodeType(&parentType)) && parentType == NODE_ELEMENT;
    }
    MarkupWriter writer(standsAlone);
    writer.write(node);
    return writer.take();
}

}  // namespace qor::xml
