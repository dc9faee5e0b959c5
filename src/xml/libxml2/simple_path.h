#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace qor::xml {

// A query made of plain paths, which nearly every query QOR makes is: "//a/b/@c" from the
// document, or "a/b" and ".//a/b" from the context node, or a union of such element paths
// ("a | .//b/a"). Names have no prefix. A walk of the tree in document order answers it without
// the XPath machinery and stops at the first node, where XPath would collect every node of a large
// document first.
class SimplePath {
  public:
    // The path a query spells, or nothing when the query has any other form (predicates,
    // prefixes, wildcards, other axes, functions, names outside ASCII, an attribute in a union,
    // or a union of paths from the document with paths from the context node).
    static std::optional<SimplePath> parse(std::u16string_view query);

    // The first node in document order the query selects, with `context` as the context node
    // (the document node when null): the element, or the attribute of the first such element
    // that has it. Null when there is none.
    _xmlNode* first(_xmlDoc* doc, _xmlNode* context) const;

  private:
    enum class Start {
        kDocument,     // "//a": an element anywhere
        kDescendants,  // ".//a": an element below the context node
        kChildren,     // "a": a child of the context node
    };
    struct Branch {
        Start start = Start::kDocument;
        std::vector<std::string> elements;
    };

    static std::optional<Branch> parseBranch(std::u16string_view text, std::size_t& position);
    static bool matches(const Branch& branch, const _xmlNode* element, const _xmlNode* context);

    std::vector<Branch> branches_;
    std::string attribute_;  // empty when the path selects elements
};

}  // namespace qor::xml
