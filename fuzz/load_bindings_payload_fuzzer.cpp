// qorLoadBindingsPayload against the XML parser it stands in front of: a bindings file that
// parses as a document (UTF-8, any declaration naming UTF-8) must give a payload, that payload
// must parse, and the <bindings> element in it must be the file's, to the letter. Whatever the
// bytes, exactly one of payload and error comes back.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/utf8.h"
#include "qor/host_support.h"
#include "xml/xml_parser.h"

namespace {

struct Freed {
    void operator()(void* text) const { qorFreeText(text); }
};

// The markup of the document's <bindings> root, or nothing when the text is no such document.
std::optional<std::u16string> bindingsOf(const std::u16string& text, const std::u16string& query) {
    qor::xml::XMLParser document;
    if (!document.initWithXMLString(text)) {
        return std::nullopt;
    }
    const qor::xml::XmlElement bindings = document.getNodeForXQuery(query);
    if (!bindings) {
        return std::nullopt;
    }
    std::u16string markup;
    document.getXMLStringOfNode(bindings, markup);
    return markup;
}

bool isUtf8(const std::string& bytes) {
    return qor::platform::toUtf8(qor::platform::fromUtf8(bytes)) == bytes &&
           bytes.find("\xEF\xBF\xBD") == std::string::npos;  // no U+FFFD of its own either
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    const std::string text = file.substr(0, file.find('\0'));
    char* error = nullptr;
    const std::unique_ptr<char16_t, Freed> payload(
        qorLoadBindingsPayload(u"applet", u"1.0", u"w1", text.c_str(), &error));
    const std::unique_ptr<char, Freed> reason(error);
    if ((payload == nullptr) == (reason == nullptr)) {
        std::abort();  // exactly one of the two
    }
    if (!isUtf8(text) ||
        (reason && std::string(reason.get()).find("encoding") != std::string::npos)) {
        return 0;  // refused before any parser would read it the same way
    }
    const std::optional<std::u16string> alone =
        bindingsOf(qor::platform::fromUtf8(text), u"/bindings");
    if (!alone) {
        return 0;  // not a bindings document: the payload may or may not parse
    }
    if (!payload) {
        std::abort();  // a document QOR reads, refused
    }
    const std::optional<std::u16string> inside =
        bindingsOf(payload.get(), u"/applet/CommandLineArguments/bindings");
    if (inside != alone) {
        std::abort();  // the payload lost, or changed, the bindings
    }
    return 0;
}
