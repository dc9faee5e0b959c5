#include "xml/parser_session.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <climits>

namespace qor::xml {

namespace {

// The context's dictionary of names only grows; a fresh context every so many documents, and after
// any large one, keeps memory flat and lookups in it fast. Documents keep the dictionary they were
// parsed with alive themselves.
constexpr int kDocumentsPerContext = 1000;
constexpr std::size_t kLargeDocument = 64 * 1024;

// Never the default parser options that would read a DTD, expand entities, fetch over the
// network or relax the limits.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// Set when the document being parsed declared a document type.
bool documentTypeSeen = false;

// Where the parse under way keeps its first error.
ParseFailure* currentFailure = nullptr;

// Keeps the first error of a parse; nothing is ever printed.
void rememberError(void*, xmlErrorPtr error) {
    ParseFailure* failure = currentFailure;
    if (failure != nullptr && failure->line == 0 && failure->message.empty() && error != nullptr) {
        failure->line = error->line;
        failure->message = error->message != nullptr ? error->message : "not well formed";
        while (!failure->message.empty() && failure->message.back() == '\n') {
            failure->message.pop_back();
        }
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
    documentsParsed_ = 0;
}

_xmlDoc* ParserSession::parse(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX)) {
        lastFailure_ = ParseFailure{0, utf8.empty() ? "the text is empty" : "the text is too long"};
        return nullptr;
    }
    if (context_ == nullptr || documentsParsed_ >= kDocumentsPerContext) {
        renewContext();
        if (context_ == nullptr) {
            return nullptr;
        }
    }
    // A large document leaves a large dictionary behind: the next document gets a fresh one.
    documentsParsed_ = utf8.size() >= kLargeDocument ? kDocumentsPerContext : documentsParsed_ + 1;
    documentTypeSeen = false;
    lastFailure_ = ParseFailure{};
    currentFailure = &lastFailure_;
    // The encoding is forced: the text was converted from UTF-16, whatever it declares.
    xmlDocPtr doc = xmlCtxtReadMemory(context_, utf8.data(), static_cast<int>(utf8.size()), nullptr,
                                      "UTF-8", kParseOptions);
    currentFailure = nullptr;
    const bool refused = documentTypeSeen || !context_->wellFormed;
    if (documentTypeSeen) {
        lastFailure_.message = "a document type declaration is not accepted";
    }
    if (doc != nullptr && (refused || doc->intSubset != nullptr || doc->extSubset != nullptr)) {
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
