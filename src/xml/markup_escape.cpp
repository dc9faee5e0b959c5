#include "xml/markup_escape.h"

#include "platform/utf16.h"

namespace qor::xml {

namespace {

// What stands for a unit in markup; empty when the unit stands for itself.
std::u16string_view escapeOf(char16_t unit, bool attributeValue) {
    switch (unit) {
        case u'&':
            return u"&amp;";
        case u'<':
            return u"&lt;";
        case u'>':
            return u"&gt;";
        case u'\r':
            return u"&#13;";
        case u'"':
            return attributeValue ? u"&quot;" : u"";
        case u'\n':
            return attributeValue ? u"&#10;" : u"";
        case u'\t':
            return attributeValue ? u"&#9;" : u"";
        default:
            return {};
    }
}

}  // namespace

void appendEscaped(std::u16string& markup, std::u16string_view text, bool attributeValue) {
    std::size_t written = 0;  // the units before this one are in `markup`, or in the run at hand
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        std::u16string_view replacement = escapeOf(unit, attributeValue);
        if (platform::isHighSurrogate(unit) && i + 1 < text.size() &&
            platform::isLowSurrogate(text[i + 1])) {
            ++i;  // a pair stands for itself
            continue;
        }
        if (platform::isHighSurrogate(unit) || platform::isLowSurrogate(unit)) {
            replacement = u"\uFFFD";  // a lone half of a pair
        }
        if (!replacement.empty()) {
            markup.append(text.substr(written, i - written)).append(replacement);
            written = i + 1;
        }
    }
    markup.append(text.substr(written));
}

}  // namespace qor::xml
