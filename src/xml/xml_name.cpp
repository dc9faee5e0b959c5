#include "xml/xml_name.h"

namespace qor::xml {

namespace {

bool isNameStartChar(char32_t c) {
    return c == U':' || (c >= U'A' && c <= U'Z') || c == U'_' || (c >= U'a' && c <= U'z') ||
           (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
           (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(char32_t c) {
    return isNameStartChar(c) || c == U'-' || c == U'.' || (c >= U'0' && c <= U'9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

}  // namespace

bool isXmlName(std::u16string_view name) {
    if (name.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        char32_t c = name[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
            name[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (name[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return false;  // an unpaired surrogate
        }
        if (!(i == 0 ? isNameStartChar(c) : isNameChar(c))) {
            return false;
        }
    }
    return true;
}

bool isQualifiedName(std::u16string_view name) {
    const std::size_t colon = name.find(u':');
    return isXmlName(name) && (colon == std::u16string_view::npos ||
                               (colon > 0 && colon + 1 < name.size() &&
                                name.find(u':', colon + 1) == std::u16string_view::npos &&
                                isXmlName(name.substr(colon + 1))));
}

std::u16string_view prefixOf(std::u16string_view name) {
    const std::size_t colon = name.find(u':');
    return colon == std::u16string_view::npos ? std::u16string_view() : name.substr(0, colon);
}

bool isNamespaceDeclaration(std::u16string_view name) {
    return name == u"xmlns" || prefixOf(name) == u"xmlns";
}

bool hasOnlyXmlCharacters(std::u16string_view text) {
    for (const char16_t unit : text) {
        if ((unit < 0x20 && unit != u'\t' && unit != u'\n' && unit != u'\r') || unit == 0xFFFE ||
            unit == 0xFFFF) {
            return false;
        }
    }
    return true;
}

}  // namespace qor::xml
