#include "xml_file.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "host_error.h"
#include "platform/utf8.h"

namespace qor::host {

std::string resolvedFromHere(const std::string& path) {
    const std::filesystem::path given(path);
    std::error_code ignored;
    if (given.is_absolute() || !given.has_parent_path()) {
        return "";
    }
    return " (" + std::filesystem::absolute(given, ignored).lexically_normal().string() + ")";
}

std::string unusableFile(const std::string& path, int error) {
    std::error_code ignored;
    const std::filesystem::path resolved =
        std::filesystem::absolute(path, ignored).lexically_normal();
    const std::string reason = std::filesystem::is_directory(resolved, ignored)
                                   ? "it is a directory"
                                   : std::generic_category().message(error);
    return resolved.string() == path ? reason : reason + " (" + resolved.string() + ")";
}

std::string readTextFile(const std::string& path) {
    std::error_code ignored;
    std::ifstream file;
    if (!std::filesystem::is_directory(path, ignored)) {
        errno = 0;
        file.open(path, std::ios::binary);
    }
    if (!file.is_open()) {
        throw HostError(path, 0, "cannot be read: " + unusableFile(path, errno));
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void loadXmlFile(const std::string& path, xml::XMLParser& document) {
    loadXmlText(path, readTextFile(path), document);
}

void loadXmlText(const std::string& path, const std::string& text, xml::XMLParser& document) {
    if (!document.initWithXMLString(platform::fromUtf8(text))) {
        const xml::ParseFailure& failure = xml::XMLParser::lastParseFailure();
        throw HostError(path, failure.line, "not a well-formed XML document: " + failure.message);
    }
}

std::u16string attributeOr(const xml::AttributeMap& attributes, const std::u16string& name,
                           const std::u16string& fallback) {
    const auto found = attributes.find(name);
    return found != attributes.end() ? found->second : fallback;
}

std::string narrow(const std::u16string& text) {
    return platform::toUtf8(text);
}

}  // namespace qor::host

namespace qor::host {

std::u16string textOf(xml::XMLParser& document, const xml::XmlNode& element) {
    std::u16string markup, text;
    document.getXMLStringOfNode(element, markup);
    xml::XMLParser single;
    single.initWithXMLString(markup);
    single.stringValueForXQuery(u"/*", text);
    return text;
}

std::u16string nameOf(xml::XMLParser& document, const xml::XmlNode& element) {
    std::u16string name;
    document.getMapOfNode(element, name);
    return name;
}

}  // namespace qor::host
