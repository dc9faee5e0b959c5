// The pre-scan against the parser it stands in front of: for every text that the pre-scan lets
// through and libxml2 parses as QOR asks it to (well formed, namespace-well-formed, no document
// type), the attributes the pre-scan counted on each start tag must be those libxml2 read there
// as written (its SAX1 start-element callback, which sees namespace declarations as attributes),
// and the namespace declarations it counted in scope must be those libxml2 keeps in scope (its
// SAX2 callbacks, nb_namespaces of each open element). Any difference aborts.
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/utf8.h"
#include "xml/parse_limits.h"

namespace {

using qor::xml::StartTagCounts;

// What libxml2 read, one entry per start tag in document order.
struct Read {
    std::vector<std::size_t> values;
    std::vector<std::size_t> open;  // declarations of each open element (SAX2)
    std::size_t inScope = 0;
    bool documentType = false;
};

Read* readOf(void* context) {
    return static_cast<Read*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

void quiet(void*, const char*, ...) {}
void quietStructured(void*, xmlErrorPtr) {}

void startNamespaced(void* context, const xmlChar*, const xmlChar*, const xmlChar*, int namespaces,
                     const xmlChar**, int, int, const xmlChar**) {
    Read* read = readOf(context);
    read->open.push_back(static_cast<std::size_t>(namespaces));
    read->inScope += static_cast<std::size_t>(namespaces);
    read->values.push_back(read->inScope);
}

void endNamespaced(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    Read* read = readOf(context);
    read->inScope -= read->open.back();
    read->open.pop_back();
}

void startPlain(void* context, const xmlChar*, const xmlChar** attributes) {
    std::size_t count = 0;
    while (attributes != nullptr && attributes[2 * count] != nullptr) {
        ++count;
    }
    readOf(context)->values.push_back(count);
}

void documentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    readOf(context)->documentType = true;
    xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

// Parses with QOR's options and the given callbacks; null unless the text is one QOR accepts.
std::optional<std::vector<std::size_t>> parse(const std::string& utf8, bool namespaced) {
    xmlSAXHandler handler{};
    handler.initialized = namespaced ? XML_SAX2_MAGIC : 1;
    handler.startElementNs = namespaced ? startNamespaced : nullptr;
    handler.endElementNs = namespaced ? endNamespaced : nullptr;
    handler.startElement = namespaced ? nullptr : startPlain;
    handler.internalSubset = documentType;
    handler.warning = quiet;
    handler.error = quiet;
    handler.fatalError = quiet;
    handler.serror = quietStructured;
    xmlParserCtxtPtr context =
        xmlCreateMemoryParserCtxt(utf8.data(), static_cast<int>(utf8.size()));
    if (context == nullptr) {
        return std::nullopt;
    }
    *context->sax = handler;
    Read read;
    context->_private = &read;
    xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_IGNORE_ENC);
    xmlParseDocument(context);
    const bool accepted =
        context->wellFormed && (!namespaced || context->nsWellFormed) && !read.documentType;
    if (context->myDoc != nullptr) {
        xmlFreeDoc(context->myDoc);
    }
    xmlFreeParserCtxt(context);
    if (!accepted) {
        return std::nullopt;
    }
    return read.values;
}

[[noreturn]] void differ(const std::string& utf8, const std::vector<StartTagCounts>& scanned,
                         const std::vector<std::size_t>& attributes,
                         const std::vector<std::size_t>& inScope) {
    std::fprintf(stderr, "pre-scan and libxml2 differ on: %s\n", utf8.c_str());
    for (std::size_t i = 0; i < std::max(scanned.size(), attributes.size()); ++i) {
        std::fprintf(stderr, "  start tag %zu: pre-scan %zu attributes, %zu in scope", i,
                     i < scanned.size() ? scanned[i].attributes : 0,
                     i < scanned.size() ? scanned[i].namespacesInScope : 0);
        std::fprintf(stderr, "; libxml2 %zu attributes, %zu in scope\n",
                     i < attributes.size() ? attributes[i] : 0,
                     i < inScope.size() ? inScope[i] : 0);
    }
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The text as a sender would give it: UTF-16, up to its first zero unit.
    std::u16string text =
        qor::platform::fromUtf8(std::string(reinterpret_cast<const char*>(data), size));
    text.resize(std::u16string_view(text.c_str()).size());
    std::vector<StartTagCounts> scanned;
    if (text.empty() || qor::xml::checkParseLimits(text, &scanned)) {
        return 0;
    }
    const std::optional<std::string> utf8 = qor::platform::toUtf8Strict(text);
    if (!utf8) {
        std::fprintf(stderr, "the pre-scan let an unpaired surrogate through\n");
        std::abort();
    }
    const std::optional<std::vector<std::size_t>> inScope = parse(*utf8, true);
    if (!inScope) {
        return 0;
    }
    const std::optional<std::vector<std::size_t>> attributes = parse(*utf8, false);
    if (!attributes || attributes->size() != inScope->size() || scanned.size() != inScope->size()) {
        differ(*utf8, scanned, attributes.value_or(std::vector<std::size_t>{}), *inScope);
    }
    for (std::size_t i = 0; i < scanned.size(); ++i) {
        if (scanned[i] != StartTagCounts{(*attributes)[i], (*inScope)[i]}) {
            differ(*utf8, scanned, *attributes, *inScope);
        }
    }
    return 0;
}
