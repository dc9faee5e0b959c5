#include "xml/libxml2/namespace_reconciler.h"

#include <libxml/tree.h>

#include <string>
#include <vector>

#include "xml/dom_error.h"

namespace qor::xml {

namespace {

const xmlChar* orEmpty(const xmlChar* text) {
    return text != nullptr ? text : BAD_CAST "";
}

bool isXmlPrefix(const xmlNs* ns) {
    return ns->prefix != nullptr && xmlStrEqual(ns->prefix, BAD_CAST "xml");
}

bool declaresPrefix(const xmlNode* element, const xmlChar* prefix) {
    for (const xmlNs* ns = element->nsDef; ns != nullptr; ns = ns->next) {
        if (xmlStrEqual(ns->prefix, prefix)) {
            return true;
        }
    }
    return false;
}

xmlNode* elementFrom(xmlNode* node) {
    while (node != nullptr && node->type != XML_ELEMENT_NODE) {
        node = node->next;
    }
    return node;
}

// The namespace declarations in scope, innermost last.
class Scope {
  public:
    // Starts with what is declared on the element's ancestors.
    explicit Scope(const xmlNode* element) {
        std::vector<const xmlNode*> ancestors;
        for (const xmlNode* node = element->parent;
             node != nullptr && node->type == XML_ELEMENT_NODE; node = node->parent) {
            ancestors.push_back(node);
        }
        for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
            addDeclarations(*it);
        }
    }

    void addDeclarations(const xmlNode* element) {
        for (xmlNs* ns = element->nsDef; ns != nullptr; ns = ns->next) {
            bindings_.push_back(ns);
        }
    }
    std::size_t size() const { return bindings_.size(); }
    void shrinkTo(std::size_t size) { bindings_.resize(size); }

    // The innermost declaration of a prefix (null: the default namespace), or null.
    xmlNs* find(const xmlChar* prefix) const {
        for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
            if (xmlStrEqual((*it)->prefix, prefix)) {
                return *it;
            }
        }
        return nullptr;
    }

    // A declaration in scope on `element` for this namespace name and prefix: the one in scope
    // when it matches, else a new one on the element.
    xmlNs* bind(xmlNode* element, const xmlChar* href, const xmlChar* prefix) {
        if (xmlNs* found = find(prefix);
            found != nullptr && xmlStrEqual(orEmpty(found->href), href)) {
            return found;
        }
        std::string fresh;
        for (int n = 1; prefix == nullptr ? false : declaresPrefix(element, prefix); ++n) {
            fresh = "ns" + std::to_string(n);
            prefix = BAD_CAST fresh.c_str();
        }
        if (prefix == nullptr && declaresPrefix(element, nullptr)) {
            fresh = "ns0";  // the element binds the default namespace otherwise
            prefix = BAD_CAST fresh.c_str();
        }
        xmlNs* declared = xmlNewNs(element, href, prefix);
        if (declared == nullptr) {
            throw DomError(DomError::kOutOfMemory);
        }
        bindings_.push_back(declared);
        return declared;
    }

  private:
    std::vector<xmlNs*> bindings_;
};

void reconcileElement(xmlNode* element, Scope& scope) {
    scope.addDeclarations(element);
    if (element->ns == nullptr) {
        const xmlNs* defaultNs = scope.find(nullptr);
        if (defaultNs != nullptr && *orEmpty(defaultNs->href) != 0) {
            scope.bind(element, BAD_CAST "", nullptr);
        }
    } else if (!isXmlPrefix(element->ns)) {
        element->ns = scope.bind(element, orEmpty(element->ns->href), element->ns->prefix);
    }
    for (xmlAttr* attribute = element->properties; attribute != nullptr;
         attribute = attribute->next) {
        if (attribute->ns != nullptr && !isXmlPrefix(attribute->ns)) {
            // An attribute is in a namespace only through a prefix.
            const xmlChar* prefix =
                attribute->ns->prefix != nullptr ? attribute->ns->prefix : BAD_CAST "ns1";
            attribute->ns = scope.bind(element, orEmpty(attribute->ns->href), prefix);
        }
    }
}

}  // namespace

void reconcileNamespaces(_xmlNode* top) {
    if (top == nullptr || top->type != XML_ELEMENT_NODE) {
        return;
    }
    Scope scope(top);
    std::vector<std::size_t> marks;
    const auto enter = [&](xmlNode* element) {
        marks.push_back(scope.size());
        reconcileElement(element, scope);
    };
    const auto leave = [&]() {
        scope.shrinkTo(marks.back());
        marks.pop_back();
    };
    enter(top);
    xmlNode* current = top;
    while (true) {
        if (xmlNode* child = elementFrom(current->children)) {
            enter(child);
            current = child;
            continue;
        }
        while (true) {
            leave();
            if (current == top) {
                return;
            }
            if (xmlNode* sibling = elementFrom(current->next)) {
                enter(sibling);
                current = sibling;
                break;
            }
            current = current->parent;
        }
    }
}

}  // namespace qor::xml
