#include "xml/text_element_writer.h"

#include "xml/xml_name.h"

namespace qor::xml {

namespace {

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void appendEscaped(std::u16string& out, std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        switch (unit) {
            case u'&':
                out += u"&amp;";
                break;
            case u'<':
                out += u"&lt;";
                break;
            case u'>':
                out += u"&gt;";
                break;
            case u'\r':
                out += u"&#13;";
                break;
            default:
                if (isHighSurrogate(unit) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
                    out += unit;
                    out += text[++i];
                } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
                    out += u'\uFFFD';
                } else {
                    out += unit;
                }
        }
    }
}

}  // namespace

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
    appendEscaped(markup_, text);
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
