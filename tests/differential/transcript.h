#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "qor/plugin.h"

namespace qor::differential {

// The transcript of a replay: one event a line, `KIND key=value ...`, indented two spaces per
// call under way. A value is a number, `null`, a quoted text, or for a text longer than
// kWholeTextLimit units `@LENGTH:FNV1A64:"first units"`. Quoted texts are UTF-8 with `\"`, `\\`,
// `\n`, `\r`, `\t` and `\u{HEX}` for other control characters and unpaired surrogates, so that
// every code unit QOR handed over can be told apart on both platforms.
class TranscriptLine {
  public:
    static constexpr std::size_t kWholeTextLimit = 4096;

    TranscriptLine(std::ostream& out, int depth, std::string_view kind);
    ~TranscriptLine();
    TranscriptLine(const TranscriptLine&) = delete;
    TranscriptLine& operator=(const TranscriptLine&) = delete;

    TranscriptLine& text(std::string_view key, std::u16string_view value);
    TranscriptLine& text(std::string_view key, const char16_t* value);  // null is written `null`
    TranscriptLine& maybeText(std::string_view key, const std::optional<std::u16string>& value);
    TranscriptLine& number(std::string_view key, int64_t value);
    TranscriptLine& word(std::string_view key, std::string_view value);
    // The nine texts, the version and the three flags of a record.
    TranscriptLine& record(const MessageRecord& record);

    // A text as the transcript writes it.
    static std::string quoted(std::u16string_view value);

  private:
    std::ostream& out_;
};

}  // namespace qor::differential
