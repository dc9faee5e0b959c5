#include "xml/text_element_writer.h"

#include "xml/markup_escape.h"
#include "xml/xml_name.h"

namespace qor::xml {

TextElementWriter::TextElementWriter(std::u16string_view name) : name_(name) {
    markup_.reserve(256);
    markup_.append(u"<").append(name_).append(u">");
}

bool TextElementWriter::addTextChild(std::u16string_view name, std::u16string_view text) {
    if (!hasOnlyXmlCharacters(text)) {
        return false;
    }
    empty_ = false;
    markup_.append(u"<").append(name);
    if (text.empty()) {
        markup_.append(u"/>");
        return true;
    }
    markup_.append(u">");
    appendEscaped(markup_, text, false);
    markup_.append(u"</").append(name).append(u">");
    return true;
}

std::u16string TextElementWriter::finish() {
    if (empty_) {
        return u"<" + name_ + u"/>\n";
    }
    markup_.append(u"</").append(name_).append(u">\n");
    return std::move(markup_);
}

}  // namespace qor::xml
