#include "message_catalogue.h"

#include "host_error.h"
#include "xml_file.h"

namespace qor::host {

void MessageCatalogue::load(const std::string& path) {
    xml::XMLParser document;
    loadXmlFile(path, document);
    xml::XmlElement root;
    document.getRootNode(root);
    if (nameOf(document, root) != u"catalogue") {
        throw HostError(path, root.line(), "the root element must be <catalogue>");
    }
    const xml::AttributeMap attributes = document.getAttrsMapOfNode(root);
    locale_ = attributeOr(attributes, u"locale", locale_);
    fallback_ = attributeOr(attributes, u"fallback", fallback_);
    forEachElement(document, root, [&](const std::u16string& name, const xml::XmlElement& strings) {
        if (name != u"strings") {
            throw HostError(path, strings.line(), "unknown element <" + narrow(name) + ">");
        }
        const std::u16string locale = attributeOr(document.getAttrsMapOfNode(strings), u"locale");
        forEachElement(document, strings, [&](const std::u16string&, const xml::XmlElement& entry) {
            const std::u16string id = attributeOr(document.getAttrsMapOfNode(entry), u"id");
            strings_[locale][id] = textOf(document, entry);
        });
    });
}

const std::u16string* MessageCatalogue::find(const std::u16string& id,
                                             const std::u16string& locale) const {
    std::u16string candidate = locale.empty() ? locale_ : locale;
    while (true) {
        if (const auto strings = strings_.find(candidate); strings != strings_.end()) {
            if (const auto found = strings->second.find(id); found != strings->second.end()) {
                return &found->second;
            }
        }
        const std::size_t dash = candidate.rfind(u'-');
        if (dash == std::u16string::npos) {
            break;
        }
        candidate.resize(dash);
    }
    if (const auto strings = strings_.find(fallback_); strings != strings_.end()) {
        if (const auto found = strings->second.find(id); found != strings->second.end()) {
            return &found->second;
        }
    }
    return nullptr;
}

}  // namespace qor::host
