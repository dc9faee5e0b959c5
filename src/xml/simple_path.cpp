#include "xml/simple_path.h"

#include <libxml/tree.h>

#include <cstring>

namespace qor::xml {

namespace {

bool isNameStart(char16_t unit) {
    return unit == u'_' || (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
}

bool isNameUnit(char16_t unit) {
    return isNameStart(unit) || unit == u'-' || unit == u'.' || (unit >= u'0' && unit <= u'9');
}

// Reads an ASCII name at `position`, moving past it; empty when there is none.
std::string readName(std::u16string_view query, std::size_t& position) {
    std::string name;
    if (position < query.size() && isNameStart(query[position])) {
        while (position < query.size() && isNameUnit(query[position])) {
            name.push_back(static_cast<char>(query[position++]));
        }
    }
    return name;
}

// A name test without a prefix selects only nodes in no namespace.
bool isUnprefixedName(const xmlChar* name, const xmlNs* ns, const std::string& wanted) {
    return ns == nullptr && std::strcmp(reinterpret_cast<const char*>(name), wanted.c_str()) == 0;
}

// The node after `node` in document order among the element's and document's children; element
// subtrees are entered, nothing else is.
xmlNodePtr nextInDocumentOrder(xmlNodePtr node) {
    if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
        return node->children;
    }
    while (node != nullptr && node->type != XML_DOCUMENT_NODE) {
        if (node->next != nullptr) {
            return node->next;
        }
        node = node->parent;
    }
    return nullptr;
}

}  // namespace

std::optional<SimplePath> SimplePath::parse(std::u16string_view query) {
    if (!query.starts_with(u"//")) {
        return std::nullopt;
    }
    SimplePath path;
    std::size_t position = 2;
    for (;;) {
        if (position < query.size() && query[position] == u'@' && !path.elements_.empty()) {
            ++position;
            path.attribute_ = readName(query, position);
            const bool ends = !path.attribute_.empty() && position == query.size();
            return ends ? std::optional<SimplePath>(std::move(path)) : std::nullopt;
        }
        std::string name = readName(query, position);
        if (name.empty()) {
            return std::nullopt;
        }
        path.elements_.push_back(std::move(name));
        if (position == query.size()) {
            return path;
        }
        if (query[position] != u'/') {
            return std::nullopt;
        }
        ++position;
    }
}

bool SimplePath::matches(const _xmlNode* element) const {
    const xmlNode* node = element;
    for (auto name = elements_.rbegin(); name != elements_.rend(); ++name) {
        if (node == nullptr || node->type != XML_ELEMENT_NODE ||
            !isUnprefixedName(node->name, node->ns, *name)) {
            return false;
        }
        node = node->parent;
    }
    return true;
}

_xmlNode* SimplePath::first(_xmlDoc* doc) const {
    if (doc == nullptr) {
        return nullptr;
    }
    for (xmlNodePtr node = doc->children; node != nullptr; node = nextInDocumentOrder(node)) {
        if (node->type != XML_ELEMENT_NODE || !matches(node)) {
            continue;
        }
        if (attribute_.empty()) {
            return node;
        }
        for (xmlAttrPtr attribute = node->properties; attribute != nullptr;
             attribute = attribute->next) {
            if (isUnprefixedName(attribute->name, attribute->ns, attribute_)) {
                return reinterpret_cast<xmlNodePtr>(attribute);
            }
        }
    }
    return nullptr;
}

}  // namespace qor::xml
