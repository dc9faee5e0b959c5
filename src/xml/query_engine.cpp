#include "xml/query_engine.h"

#include <libxml/hash.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <utility>

#include "platform/utf8.h"
#include "xml/dom_error.h"
#include "xml/xml_name.h"

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

bool isNameUnit(char16_t unit) {
    return unit == u'-' || unit == u'.' || unit == u'_' || (unit >= u'0' && unit <= u'9') ||
           (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z') || unit >= 0x80;
}

// True when `found` holds for a position of the query outside its string literals.
template <typename Found>
bool outsideLiterals(std::u16string_view query, Found found) {
    char16_t quote = 0;
    for (std::size_t i = 0; i < query.size(); ++i) {
        const char16_t unit = query[i];
        if (quote != 0) {
            quote = unit == quote ? 0 : quote;
        } else if (unit == u'"' || unit == u'\'') {
            quote = unit;
        } else if (found(i)) {
            return true;
        }
    }
    return false;
}

// A variable reference ("$v"); a '$' inside a literal is plain text.
bool referencesVariable(std::u16string_view query) {
    return outsideLiterals(query, [query](std::size_t i) { return query[i] == u'$'; });
}

// A call of a function with a prefix ("p:f("). libxml2 reports an undefined prefix of a function
// on standard error; QOR's queries call no such function.
bool callsPrefixedFunction(std::u16string_view query) {
    return outsideLiterals(query, [query](std::size_t i) {
        if (query[i] != u':' || (i + 1 < query.size() && query[i + 1] == u':') ||
            (i > 0 && query[i - 1] == u':')) {
            return false;
        }
        std::size_t end = i + 1;
        while (end < query.size() && isNameUnit(query[end])) {
            ++end;
        }
        while (end < query.size() && (query[end] == u' ' || query[end] == u'\t' ||
                                      query[end] == u'\n' || query[end] == u'\r')) {
            ++end;
        }
        return end > i + 1 && end < query.size() && query[end] == u'(';
    });
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
    if (!prepared.path && !referencesVariable(text) && hasOnlyXmlCharacters(text) &&
        !callsPrefixedFunction(text)) {
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
