#include "xml/libxml2/parser_session.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include "platform/utf8.h"

namespace qor::xml {

namespace {

// The context's dictionary of names only grows; a fresh context every so many documents, and after
// any large one, keeps memory flat and lookups in it fast. Documents keep the dictionary they were
// parsed with alive themselves.
constexpr int kDocumentsPerContext = 1000;
constexpr std::size_t kLargeDocument = 64 * 1024;

// Never the default parser options that would read a DTD, expand entities, fetch over the
// network, drop white space or relax the limits. Everything a host's defaults could change is
// given here or set on the context.
// The text is always UTF-8, converted from UTF-16, whatever encoding it declares: the declaration
// is ignored, and no encoding is named, so that libxml2 reads the text as it is instead of passing
// it through a converter.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;

// Set when the document being parsed declared a document type.
bool documentTypeSeen = false;

// The errors of the parse under way: the first that breaks well-formedness, and the first
// namespace error. Warnings refuse nothing and are not kept, and neither does a namespace name
// that is no RFC 3986 URI reference ("urn:é", "a b"): the Namespaces recommendation allows any
// IRI reference, and the Windows DOM accepts them.
struct ParseErrors {
    ParseFailure fatal;
    ParseFailure namespaces;
};
ParseErrors* currentErrors = nullptr;

ParseFailure failureOf(const xmlError& error) {
    ParseFailure failure{error.line, error.message != nullptr ? error.message : "not well formed"};
    while (!failure.message.empty() && failure.message.back() == '\n') {
        failure.message.pop_back();
    }
    return failure;
}

// Keeps the errors that can refuse a document; nothing is ever printed.
void rememberError(void*, xmlErrorPtr error) {
    ParseErrors* errors = currentErrors;
    if (errors == nullptr || error == nullptr || error->level < XML_ERR_ERROR ||
        error->code == XML_WAR_NS_URI) {
        return;
    }
    ParseFailure& kept = error->domain == XML_FROM_NAMESPACE ? errors->namespaces : errors->fatal;
    if (kept.empty()) {
        kept = failureOf(*error);
    }
}

// A document type declaration ends the parse: messages never need one, and refusing it shuts out
// entity expansion and external entities before they are read.
void refuseDocumentType(void* userData, const xmlChar*, const xmlChar*, const xmlChar*) {
    documentTypeSeen = true;
    xmlStopParser(static_cast<xmlParserCtxtPtr>(userData));
}

}  // namespace

ParserSession& ParserSession::instance() {
    static ParserSession session;
    return session;
}

ParserSession::~ParserSession() {
    if (context_ != nullptr) {
        xmlFreeParserCtxt(context_);
    }
}

void ParserSession::renewContext() {
    if (context_ != nullptr) {
        xmlFreeParserCtxt(context_);
    }
    xmlInitParser();
    context_ = xmlNewParserCtxt();
    if (context_ == nullptr) {
        return;
    }
    context_->sax->serror = rememberError;
    context_->sax->internalSubset = refuseDocumentType;
    // A new context takes its white-space handling from the process default
    // (xmlKeepBlanksDefault), which the options do not reset: white space is always kept.
    context_->keepBlanks = 1;
    context_->sax->ignorableWhitespace = xmlSAX2Characters;
    documentsParsed_ = 0;
}

bool ParserSession::prepare(std::size_t textSize) {
    if (context_ == nullptr || documentsParsed_ >= kDocumentsPerContext) {
        renewContext();
    }
    // A large document leaves a large dictionary behind: the next document gets a fresh one.
    if (context_ != nullptr && textSize >= kLargeDocument) {
        documentsParsed_ = kDocumentsPerContext;
    }
    return context_ != nullptr;
}

_xmlDoc* ParserSession::parse(std::u16string_view text, ParseFailure& failure) {
    // Within the bounds, and every surrogate paired: the conversion is exact.
    const std::optional<std::string> utf8 = platform::toUtf8Strict(text);
    if (!utf8) {
        failure = ParseFailure{0, "an unpaired surrogate"};
        return nullptr;
    }
    ++documentsParsed_;
    documentTypeSeen = false;
    ParseErrors errors;
    currentErrors = &errors;
    // Read straight from the string: libxml2's memory reader would copy the text into buffers
    // of its own, large enough to make the allocator tidy up after every message, and then be
    // asked for more input at every step of the last few hundred bytes.
    xmlDocPtr doc =
        xmlCtxtReadDoc(context_, BAD_CAST utf8->c_str(), nullptr, nullptr, kParseOptions);
    currentErrors = nullptr;
    failure = ParseFailure{};
    if (documentTypeSeen) {
        failure.message = "a document type declaration is not accepted";
    } else if (!context_->wellFormed || doc == nullptr) {
        failure = errors.fatal.empty() ? ParseFailure{0, "not well formed"} : errors.fatal;
    } else if (!context_->nsWellFormed && !errors.namespaces.empty()) {
        failure = errors.namespaces;
    }
    if (doc != nullptr &&
        (!failure.empty() || doc->intSubset != nullptr || doc->extSubset != nullptr)) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    if (doc != nullptr) {
        // Serialisation then writes plain UTF-8 without character references.
        if (doc->encoding != nullptr) {
            xmlFree(const_cast<xmlChar*>(doc->encoding));
        }
        doc->encoding = xmlStrdup(BAD_CAST "UTF-8");
    }
    return doc;
}

}  // namespace qor::xml
