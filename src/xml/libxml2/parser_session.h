#pragma once

#include <string_view>

#include "xml/parse_failure.h"

struct _xmlDoc;
struct _xmlParserCtxt;

namespace qor::xml {

// Parses whole documents with one reused libxml2 parser context. Strict XML 1.0 with namespaces:
// anything not well formed or not namespace-well-formed is refused, and so is any document with a
// document type declaration (no DTD, entity or network access ever happens) and any text beyond
// the bounds of parse_limits.h (which the caller checks first). The context's settings are QOR's
// own whatever defaults the host gave libxml2; libxml2's global state is never touched and nothing
// is printed.
class ParserSession {
  public:
    static ParserSession& instance();

    // Makes sure a parser context is ready for a text of this size. False when none can be made.
    bool prepare(std::size_t textSize);

    // A new document owned by the caller, or null when the text is refused, with the reason in
    // `failure` (empty after a success). Needs prepare().
    _xmlDoc* parse(std::u16string_view text, ParseFailure& failure);

    ParserSession(const ParserSession&) = delete;
    ParserSession& operator=(const ParserSession&) = delete;

  private:
    ParserSession() = default;
    ~ParserSession();
    void renewContext();

    _xmlParserCtxt* context_ = nullptr;
    int documentsParsed_ = 0;
};

}  // namespace qor::xml
