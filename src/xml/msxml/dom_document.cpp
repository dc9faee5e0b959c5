#include "dom_document.h"

#include <msxml2.h>
#include <ole2.h>

#include <optional>
#include <string>

#include "bstr.h"
#include "com_check.h"
#include "com_ptr.h"
#include "msxml_ids.h"
#include "platform/utf8.h"
#include "xml/dom_error.h"
#include "xml/namespace_check.h"

namespace qor::xml {
namespace {

bool isXmlSpace(char16_t unit) {
    return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n';
}

// Why the DOM refused a text.
ParseFailure parseErrorOf(IXMLDOMDocument2* document) {
    ParseFailure failure;
    ComPtr<IXMLDOMParseError> error;
    if (FAILED(document->get_parseError(error.put())) || !error) {
        return failure;
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
    return failure;
}

}  // namespace

dom::OwnedDocument createDocument() {
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
    return dom::OwnedDocument(document);
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

bool loadDocument(IXMLDOMDocument2* document, std::u16string_view text, ParseFailure& failure) {
    configureDocument(document);
    const Bstr xml(text);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    check(document->loadXML(xml.get(), &loaded));
    if (loaded != VARIANT_TRUE) {
        failure = parseErrorOf(document);
        return false;
    }
    // The DOM lets namespace errors pass; the text is refused for them as libxml2 refuses it.
    if (std::optional<ParseFailure> namespaceError = namespaceErrorIn(text)) {
        failure = std::move(*namespaceError);
        return false;
    }
    failure = ParseFailure{};
    return true;
}

}  // namespace qor::xml
