#include "xml/markup_escape.h"

#include "platform/utf16.h"

namespace qor::xml {

namespace {

// Units written as they are; runs of them are copied whole.
bool isPlain(char16_t unit, bool attributeValue) {
    switch (unit) {
        case u'&':
        case u'<':
        case u'>':
        case u'\r':
            return false;
        case u'"':
        case u'\n':
        case u'\t':
            return !attributeValue;
        default:
            return !platform::isHighSurrogate(unit) && !platform::isLowSurrogate(unit);
    }
}

}  // namespace

void appendEscaped(std::u16string& markup, std::u16string_view text, bool attributeValue) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t run = i;
        while (i < text.size() && isPlain(text[i], attributeValue)) {
            ++i;
        }
        markup.append(text.substr(run, i - run));
        if (i == text.size()) {
            break;
        }
        const char16_t unit = text[i];
        switch (unit) {
            case u'&':
                markup += u"&amp;";
                break;
            case u'<':
                markup += u"&lt;";
                break;
            case u'>':
                markup += u"&gt;";
                break;
            case u'\r':
                markup += u"&#13;";
                break;
            case u'"':
                markup += u"&quot;";
                break;
            case u'\n':
                markup += u"&#10;";
                break;
            case u'\t':
                markup += u"&#9;";
                break;
            default:
                if (platform::isHighSurrogate(unit) && i + 1 < text.size() &&
                    platform::isLowSurrogate(text[i + 1])) {
                    markup += unit;
                    markup += text[++i];
                } else {
                    markup += u'\uFFFD';
                }
        }
        ++i;
    }
}

}  // namespace qor::xml
