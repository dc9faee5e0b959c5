#pragma once

#include <string>
#include <string_view>

namespace qor::xml {

// Writes the markup of one element whose children are elements holding only text, directly as
// text: what building it through XMLParser and serialising it gives, at a fraction of the cost.
// Texts are escaped as the DOM's serialiser escapes them ("&", "<", ">" and carriage return), an
// unpaired surrogate becomes U+FFFD, and the markup ends with a line feed.
class TextElementWriter {
  public:
    // `name` must be an XML name; it is written as given.
    explicit TextElementWriter(std::u16string_view name);

    // Appends <name>text</name> (<name/> for an empty text). False, and nothing appended, for a
    // text with a character XML cannot hold, as XMLParser::addChildToNode refuses it.
    bool addTextChild(std::u16string_view name, std::u16string_view text);

    // The whole markup; the writer is spent.
    std::u16string finish();

  private:
    std::u16string name_;
    std::u16string markup_;
    bool empty_ = true;
};

}  // namespace qor::xml
