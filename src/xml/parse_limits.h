#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "xml/parse_failure.h"

namespace qor::xml {

// QOR's own bounds on the texts it parses, checked by one linear pass over the UTF-16 text before
// any parser sees it, so that every XML back end refuses the same texts whatever limits of its
// own it has (all of libxml2's lie beyond these). Parsers compare the attributes of one element
// with each other (duplicate check), and look every prefix up through all namespace declarations
// in scope; within these bounds that work stays proportional to the text's length. QOR's messages
// carry a handful of each. Lengths are counted in UTF-16 units of the text as written.

// The whole text.
inline constexpr std::size_t kMaxTextUnits = std::size_t{32} << 20;
// Elements open at once, the innermost included: the root alone is depth 1.
inline constexpr std::size_t kMaxDepth = 256;
// An element, attribute or processing-instruction target name, prefix included.
inline constexpr std::size_t kMaxNameUnits = 10000;
// An attribute value between its quotes; a run of text between two pieces of markup (white
// space around the root included); the inside of a comment, CDATA section or processing
// instruction.
inline constexpr std::size_t kMaxValueUnits = 1000000;
// Attributes on one element, namespace declarations included.
inline constexpr std::size_t kMaxAttributesPerElement = 256;
// Namespace declarations in scope at any element: its own and its ancestors'. "xmlns:xml" binds
// nothing new and is no declaration here (a parser keeps none for it).
inline constexpr std::size_t kMaxNamespacesInScope = 64;

// What the pass counted at one start tag.
struct StartTagCounts {
    std::size_t attributes = 0;
    std::size_t namespacesInScope = 0;

    bool operator==(const StartTagCounts&) const = default;
};

// Null when the text keeps within the bounds and holds no unpaired surrogate (no XML text can) and
// no document type declaration (QOR refuses them); otherwise the first place where it does not. For
// well-formed text the counts are exact; for text that is not, they never fall below what a parser
// would count before giving up on it. With `counts`, the counts of every start tag are added to it
// in document order.
std::optional<ParseFailure> checkParseLimits(std::u16string_view text,
                                             std::vector<StartTagCounts>* counts = nullptr);

}  // namespace qor::xml
