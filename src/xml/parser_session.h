#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct _xmlDoc;
struct _xmlParserCtxt;

namespace qor::xml {

// Why the last text was refused: the line and libxml2's message of its first error.
struct ParseFailure {
    int32_t line = 0;
    std::string message;
};

// Parses whole documents with one reused libxml2 parser context. Strict XML 1.0: anything not
// well formed is refused, and so is any document with a document type declaration (no DTD,
// entity or network access ever happens). libxml2's global state is never touched and nothing is
// printed.
class ParserSession {
  public:
    static ParserSession& instance();

    // A new document owned by the caller, or null when the text is refused.
    _xmlDoc* parse(std::string_view utf8);

    // Why the last parse was refused; empty after a successful one.
    const ParseFailure& lastFailure() const { return lastFailure_; }

    ParserSession(const ParserSession&) = delete;
    ParserSession& operator=(const ParserSession&) = delete;

  private:
    ParserSession() = default;
    ~ParserSession();
    void renewContext();

    _xmlParserCtxt* context_ = nullptr;
    int documentsParsed_ = 0;
    ParseFailure lastFailure_;
};

}  // namespace qor::xml
