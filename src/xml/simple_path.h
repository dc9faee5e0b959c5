#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace qor::xml {

// A query of the form "//a/b/@c": one or more element names without a prefix after "//", and
// optionally one attribute name without a prefix. Nearly every query QOR makes has this form, and
// walking the tree answers it without the XPath machinery; the walk stops at the first node, where
// XPath would collect every node of a large document first.
class SimplePath {
  public:
    // The path a query spells, or nothing when the query has any other form (predicates,
    // prefixes, wildcards, axes, functions, white space or names outside ASCII).
    static std::optional<SimplePath> parse(std::u16string_view query);

    // The first node in document order the query selects from the document: the element, or the
    // attribute of the first such element that has it. Null when there is none.
    _xmlNode* first(_xmlDoc* doc) const;

  private:
    bool matches(const _xmlNode* element) const;

    std::vector<std::string> elements_;
    std::string attribute_;  // empty when the path selects elements
};

}  // namespace qor::xml
