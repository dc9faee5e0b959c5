#include "xml/markup_escape.h"

#include "platform/utf16.h"

namespace qor::xml {

void appendEscaped(std::u16string& markup, std::u16string_view text, bool attributeValue) {
    for (std::size_t i = 0; i < text.size(); ++i) {
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
                markup += attributeValue ? u"&quot;" : u"\"";
                break;
            case u'\n':
                markup += attributeValue ? u"&#10;" : u"\n";
                break;
            case u'\t':
                markup += attributeValue ? u"&#9;" : u"\t";
                break;
            default:
                if (platform::isHighSurrogate(unit) && i + 1 < text.size() &&
                    platform::isLowSurrogate(text[i + 1])) {
                    markup += unit;
                    markup += text[++i];
                } else if (platform::isHighSurrogate(unit) || platform::isLowSurrogate(unit)) {
                    markup += u'\uFFFD';
                } else {
                    markup += unit;
                }
        }
    }
}

}  // namespace qor::xml
