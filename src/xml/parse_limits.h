#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "xml/parse_failure.h"

namespace qor::xml {

// Bounds on the shapes of markup that XML parsers handle in more than linear time, checked by one
// linear pass over the text before any parser sees it. Parsers compare the attributes of one
// element with each other (duplicate check), and look every prefix up through all namespace
// declarations in scope; within these bounds that work stays proportional to the text's length.
// QOR's messages carry a handful of each.

// Attributes on one element, namespace declarations included.
inline constexpr std::size_t kMaxAttributesPerElement = 256;
// Namespace declarations in scope at any element: its own and its ancestors'.
inline constexpr std::size_t kMaxNamespacesInScope = 64;

// Null when the text keeps within the bounds; otherwise the first place where it does not. Works
// on UTF-8 and UTF-16 alike (markup is ASCII). For well-formed text the counts are exact; for
// text that is not, they never fall below what a parser would count before giving up on it.
std::optional<ParseFailure> checkParseLimits(std::string_view text);
std::optional<ParseFailure> checkParseLimits(std::u16string_view text);

}  // namespace qor::xml
