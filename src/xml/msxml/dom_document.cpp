#include "dom_document.h"

#include <msxml2.h>
#include <ole2.h>

#include <optional>
#include <string>

#include "bstr.h"
#include "com_ptr.h"
#include "dom_calls.h"
#include "msxml_ids.h"
#include "platform/utf8.h"
#include "xml/dom_error.h"
#include "xml/namespace_check.h"
#include "xml/parse_limits.h"
#include "xml/xml_name.h"

namespace qor::xml {
namespace {

ParseFailure& failureSlot() {
    static ParseFailure failure;
    return failure;
}

bool isXmlSpace(char16_t unit) {
    return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n';
}

// The position after a construct that starts at `position` and ends with `end`; npos when it
// does not end.
std::size_t skipPast(std::u16string_view text, std::size_t position, std::u16string_view end) {
    const std::size_t found = text.find(end, position);
    return found == std::u16string_view::npos ? found : found + end.size();
}

// Records why the DOM refused a text.
void recordParseError(IXMLDOMDocument2* document) {
    ParseFailure& failure = failureSlot();
    failure = ParseFailure{};
    ComPtr<IXMLDOMParseError> error;
    if (FAILED(document->get_parseError(error.put())) || !error) {
        return;
    }
    long line = 0;
    if (SUCCEEDED(error->get_line(&line))) {
        failure.line = static_cast<int32_t>(line);
    }
    Bstr reason;
    if (SUCCEEDED(error->get_reason(reason.put()))) {
        std::u16string text = reason.text();
        while (!text.empty() && (isXmlSpace(text.back()))) {
            text.pop_back();
        }
        failure.message = platform::toUtf8(text);
    }
}

}  // namespace

OwnedDocument createDocument() {
    CLSID classId{};
    if (FAILED(CLSIDFromProgID(L"MSXML2.DOMDocument.3.0", &classId))) {
        return nullptr;
    }
    ComPtr<IUnknown> object;
    if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_ALL, kIidUnknown,
                                reinterpret_cast<void**>(object.put()))) ||
        !object) {
        return nullptr;
    }
    if (FAILED(OleRun(object.get()))) {
        return nullptr;
    }
    IXMLDOMDocument2* document = nullptr;
    if (FAILED(object->QueryInterface(kIidXmlDomDocument2, reinterpret_cast<void**>(&document)))) {
        return nullptr;
    }
    return OwnedDocument(document);
}

bool hasDocumentTypeDeclaration(std::u16string_view text) {
    std::size_t position = 0;
    if (!text.empty() && text.front() == 0xFEFF) {
        position = 1;  // byte order mark
    }
    while (position < text.size()) {
        if (isXmlSpace(text[position])) {
            ++position;
        } else if (text.substr(position, 2) == u"<?") {
            position = skipPast(text, position + 2, u"?>");
        } else if (text.substr(position, 4) == u"<!--") {
            position = skipPast(text, position + 4, u"-->");
        } else {
            // The first other construct: a declaration, or the root element (after which a
            // declaration is no longer well formed and the DOM refuses it).
            return text.substr(position, 9) == u"<!DOCTYPE";
        }
    }
    return false;
}

void configureDocument(IXMLDOMDocument2* document) {
    check(document->put_async(VARIANT_FALSE));
    check(document->put_resolveExternals(VARIANT_FALSE));
    check(document->put_validateOnParse(VARIANT_FALSE));
    check(document->put_preserveWhiteSpace(VARIANT_TRUE));
    // Queries are XPath 1.0, as on Linux: in the DOM's default language, XSL Patterns, a bare
    // name also selects elements of a default namespace, and "[1]" is the second node.
    const Bstr property(u"SelectionLanguage");
    Variant language;
    language.get()->vt = VT_BSTR;
    language.get()->bstrVal = Bstr(u"XPath").release();
    check(document->setProperty(property.get(), language.value()));
}

bool loadDocument(IXMLDOMDocument2* document, std::u16string_view text) {
    configureDocument(document);
    if (std::optional<ParseFailure> outOfBounds = checkParseLimits(text)) {
        failureSlot() = std::move(*outOfBounds);
        return false;
    }
    if (hasDocumentTypeDeclaration(text)) {
        failureSlot() = ParseFailure{1, "a document type declaration is not accepted"};
        return false;
    }
    const Bstr xml(text);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    check(document->loadXML(xml.get(), &loaded));
    if (loaded != VARIANT_TRUE) {
        recordParseError(document);
        return false;
    }
    // The DOM lets namespace errors pass; the text is refused for them as libxml2 refuses it.
    if (std::optional<ParseFailure> failure = namespaceErrorIn(text)) {
        failureSlot() = std::move(*failure);
        return false;
    }
    failureSlot() = ParseFailure{};
    return true;
}

const ParseFailure& lastParseFailure() {
    return failureSlot();
}

}  // namespace qor::xml
