#include "xml/libxml2/simple_path.h"

#include <libxml/tree.h>

#include <algorithm>
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
std::string readName(std::u16string_view text, std::size_t& position) {
    std::string name;
    if (position < text.size() && isNameStart(text[position])) {
        while (position < text.size() && isNameUnit(text[position])) {
            name.push_back(static_cast<char>(text[position++]));
        }
    }
    return name;
}

// Reads `expected` at `position`, moving past it.
bool readText(std::u16string_view text, std::size_t& position, std::u16string_view expected) {
    if (text.substr(position).starts_with(expected)) {
        position += expected.size();
        return true;
    }
    return false;
}

// A name test without a prefix selects only nodes in no namespace.
bool isUnprefixedName(const xmlChar* name, const xmlNs* ns, const std::string& wanted) {
    return ns == nullptr && std::strcmp(reinterpret_cast<const char*>(name), wanted.c_str()) == 0;
}

// The node after `node` in document order below `top`, entering element subtrees and nothing
// else; null after the last.
xmlNodePtr nextBelow(xmlNodePtr node, const xmlNode* top) {
    if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
        return node->children;
    }
    while (node != nullptr && node != top) {
        if (node->next != nullptr) {
            return node->next;
        }
        node = node->parent;
    }
    return nullptr;
}

}  // namespace

std::optional<SimplePath::Branch> SimplePath::parseBranch(std::u16string_view text,
                                                          std::size_t& position) {
    Branch branch;
    if (readText(text, position, u"//")) {
        branch.start = Start::kDocument;
    } else if (readText(text, position, u".//")) {
        branch.start = Start::kDescendants;
    } else {
        branch.start = Start::kChildren;
    }
    for (;;) {
        std::string name = readName(text, position);
        if (name.empty()) {
            return std::nullopt;
        }
        branch.elements.push_back(std::move(name));
        // Another step follows a '/' unless an attribute does.
        if (position + 1 >= text.size() || text[position] != u'/' || text[position + 1] == u'@') {
            return branch;
        }
        ++position;
    }
}

std::optional<SimplePath> SimplePath::parse(std::u16string_view query) {
    SimplePath path;
    std::size_t position = 0;
    for (;;) {
        std::optional<Branch> branch = parseBranch(query, position);
        if (!branch) {
            return std::nullopt;
        }
        path.branches_.push_back(std::move(*branch));
        if (!readText(query, position, u" | ")) {
            break;
        }
    }
    if (readText(query, position, u"/@")) {
        path.attribute_ = readName(query, position);
        if (path.attribute_.empty() || path.branches_.size() > 1) {
            return std::nullopt;
        }
    }
    const bool fromDocument = path.branches_.front().start == Start::kDocument;
    const bool mixed = std::any_of(path.branches_.begin(), path.branches_.end(),
                                   [fromDocument](const Branch& branch) {
                                       return (branch.start == Start::kDocument) != fromDocument;
                                   });
    if (position != query.size() || mixed) {
        return std::nullopt;
    }
    return path;
}

bool SimplePath::matches(const Branch& branch, const _xmlNode* element, const _xmlNode* context) {
    const xmlNode* node = element;
    for (auto name = branch.elements.rbegin(); name != branch.elements.rend(); ++name) {
        if (node == nullptr || node == context || node->type != XML_ELEMENT_NODE ||
            !isUnprefixedName(node->name, node->ns, *name)) {
            return false;
        }
        node = node->parent;
    }
    // `node` is now the parent of the path's first element.
    return branch.start != Start::kChildren || node == context;
}

_xmlNode* SimplePath::first(_xmlDoc* doc, _xmlNode* context) const {
    if (doc == nullptr) {
        return nullptr;
    }
    // Paths from the document search all of it; paths from the context node search below it.
    xmlNodePtr top = reinterpret_cast<xmlNodePtr>(doc);
    if (branches_.front().start != Start::kDocument && context != nullptr) {
        top = context;
    }
    const bool childrenOnly = std::all_of(branches_.begin(), branches_.end(), [](const Branch& b) {
        return b.start == Start::kChildren && b.elements.size() == 1;
    });
    for (xmlNodePtr node = top->children; node != nullptr;
         node = childrenOnly ? node->next : nextBelow(node, top)) {
        if (node->type != XML_ELEMENT_NODE ||
            std::none_of(branches_.begin(), branches_.end(), [node, top](const Branch& branch) {
                return matches(branch, node, top);
            })) {
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
