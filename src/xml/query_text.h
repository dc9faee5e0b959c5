#pragma once

#include <string_view>

namespace qor::xml {

// True for a query that is refused before any DOM sees it, on every platform: one that refers to
// a variable ("$v"; a '$' inside a literal is text), calls a function with a prefix ("p:f("), or
// holds a character no XML text may hold. QOR's queries need none of these, and libxml2 reports
// them on standard error.
bool isRefusedQuery(std::u16string_view query);

}  // namespace qor::xml
