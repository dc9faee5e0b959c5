#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "xml/libxml2/simple_path.h"

struct _xmlDoc;
struct _xmlNode;
struct _xmlXPathCompExpr;
struct _xmlXPathContext;

namespace qor::xml {

// Evaluates XPath 1.0 queries. Each query text is checked and compiled once and the result reused;
// one XPath context serves every document. Plain paths ("//a/b/@c", "a | .//b/a") are answered by
// walking the tree instead. Errors never reach libxml2's global handlers.
class QueryEngine {
  public:
    static QueryEngine& instance();

    // The first node in document order that the query selects from the document, with `context`
    // (a node of it) as the context node, or the document node when null; null when it selects
    // none. Throws DomError when the query cannot be compiled or evaluated, or gives something
    // other than a set of nodes.
    _xmlNode* first(_xmlDoc* doc, const std::u16string& query, _xmlNode* context = nullptr);

    QueryEngine(const QueryEngine&) = delete;
    QueryEngine& operator=(const QueryEngine&) = delete;

  private:
    QueryEngine();
    ~QueryEngine();
    struct FreeCompiled {
        void operator()(_xmlXPathCompExpr* compiled) const;
    };
    // A query as checked and prepared: its simple path, or its compiled form, or neither when it
    // is refused.
    struct Prepared {
        std::optional<SimplePath> path;
        std::unique_ptr<_xmlXPathCompExpr, FreeCompiled> compiled;
    };

    const Prepared& prepare(const std::u16string& query);
    _xmlNode* evaluate(_xmlXPathCompExpr* compiled, _xmlDoc* doc, _xmlNode* context);

    _xmlXPathContext* context_ = nullptr;
    std::unordered_map<std::u16string, Prepared> cache_;
};

}  // namespace qor::xml
