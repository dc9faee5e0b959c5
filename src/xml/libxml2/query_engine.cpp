#include "xml/libxml2/query_engine.h"

#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <utility>

#include "platform/utf8.h"
#include "xml/dom_error.h"
#include "xml/query_text.h"

namespace qor::xml {

namespace {

// Bounds the cache when callers make up queries; QOR's own are a handful.
constexpr std::size_t kMaxCachedQueries = 256;

void ignoreError(void*, xmlErrorPtr) {}

// Unknown functions fail through the context's own error handler: libxml2 would otherwise print
// that they were not found.
void refuseUnknownFunction(xmlXPathParserContextPtr context, int) {
    xmlXPathErr(context, XPATH_UNKNOWN_FUNC_ERROR);
}

xmlXPathFunction lookupFunction(void* data, const xmlChar* name, const xmlChar* uri) {
    auto* context = static_cast<xmlXPathContextPtr>(data);
    void* known = xmlHashLookup2(context->funcHash, name, uri);
    return known != nullptr ? reinterpret_cast<xmlXPathFunction>(known) : refuseUnknownFunction;
}

}  // namespace

void QueryEngine::FreeCompiled::operator()(_xmlXPathCompExpr* compiled) const {
    xmlXPathFreeCompExpr(compiled);
}

QueryEngine& QueryEngine::instance() {
    static QueryEngine engine;
    return engine;
}

QueryEngine::QueryEngine() {
    xmlInitParser();
    context_ = xmlXPathNewContext(nullptr);
    if (context_ != nullptr) {
        context_->error = ignoreError;
        context_->userData = nullptr;
        xmlXPathRegisterFuncLookup(context_, lookupFunction, context_);
    }
}

QueryEngine::~QueryEngine() {
    cache_.clear();
    xmlXPathFreeContext(context_);
}

const QueryEngine::Prepared& QueryEngine::prepare(const std::u16string& query) {
    if (const auto cached = cache_.find(query); cached != cache_.end()) {
        return cached->second;
    }
    Prepared prepared;
    // Queries never need variables or prefixed functions, and libxml2 would report an unbound one
    // on standard error, as it would a character that no XML text may hold.
    const std::u16string_view text(query.c_str());
    prepared.path = SimplePath::parse(text);
    if (!prepared.path && !isRefusedQuery(text)) {
        const std::string utf8 = platform::toUtf8(text);
        prepared.compiled.reset(xmlXPathCtxtCompile(context_, BAD_CAST utf8.c_str()));
    }
    if (cache_.size() >= kMaxCachedQueries) {
        cache_.clear();
    }
    return cache_.emplace(query, std::move(prepared)).first->second;
}

_xmlNode* QueryEngine::evaluate(_xmlXPathCompExpr* compiled, _xmlDoc* doc, _xmlNode* context) {
    context_->doc = doc;
    context_->node = context != nullptr ? context : reinterpret_cast<xmlNodePtr>(doc);
    const std::unique_ptr<xmlXPathObject, void (*)(xmlXPathObjectPtr)> result(
        xmlXPathCompiledEval(compiled, context_), xmlXPathFreeObject);
    context_->doc = nullptr;
    context_->node = nullptr;
    if (result == nullptr || result->type != XPATH_NODESET) {
        throw DomError(DomError::kFail);
    }
    const xmlNodeSetPtr nodes = result->nodesetval;
    return nodes != nullptr && nodes->nodeNr > 0 ? nodes->nodeTab[0] : nullptr;
}

_xmlNode* QueryEngine::first(_xmlDoc* doc, const std::u16string& query, _xmlNode* context) {
    if (context_ == nullptr) {
        throw DomError(DomError::kPointer);
    }
    const Prepared& prepared = prepare(query);
    if (prepared.path) {
        return prepared.path->first(doc, context);
    }
    if (prepared.compiled == nullptr) {
        throw DomError(DomError::kFail);
    }
    return evaluate(prepared.compiled.get(), doc, context);
}

}  // namespace qor::xml
