#include "xml/query_text.h"

#include <cstddef>

#include "xml/xml_name.h"

namespace qor::xml {

namespace {

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

bool isRefusedQuery(std::u16string_view query) {
    return referencesVariable(query) || !hasOnlyXmlCharacters(query) ||
           callsPrefixedFunction(query);
}

}  // namespace qor::xml
