#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>

struct _xmlDoc;
struct _xmlNode;
struct _xmlXPathCompExpr;
struct _xmlXPathContext;
struct _xmlXPathObject;

namespace qor::xml {

// The nodes a query selected, in document order. Owns libxml2's result.
class Selection {
  public:
    explicit Selection(_xmlXPathObject* result) : result_(result) {}
    Selection(Selection&& other) noexcept;
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection();

    // False when evaluation failed or gave a number, text or truth value.
    bool isNodeSet() const;
    std::size_t size() const;
    _xmlNode* node(std::size_t position) const;

  private:
    _xmlXPathObject* result_;
};

// Evaluates XPath 1.0 queries. Each query text is compiled once and the compiled form reused; one
// XPath context serves every document. Errors never reach libxml2's global handlers.
class QueryEngine {
  public:
    static QueryEngine& instance();

    // The nodes the query selects from the document, with `context` (a node of it) as the
    // context node, or the document node when null. Throws DomError when the query cannot be
    // compiled or evaluated, or gives something other than a set of nodes.
    Selection select(_xmlDoc* doc, const std::u16string& query, _xmlNode* context = nullptr);

    QueryEngine(const QueryEngine&) = delete;
    QueryEngine& operator=(const QueryEngine&) = delete;

  private:
    QueryEngine();
    ~QueryEngine();
    _xmlXPathCompExpr* compile(const std::u16string& query);

    struct FreeCompiled {
        void operator()(_xmlXPathCompExpr* compiled) const;
    };
    using Compiled = std::unique_ptr<_xmlXPathCompExpr, FreeCompiled>;

    _xmlXPathContext* context_ = nullptr;
    // Null entries remember queries that do not compile.
    std::unordered_map<std::u16string, Compiled> cache_;
};

}  // namespace qor::xml
