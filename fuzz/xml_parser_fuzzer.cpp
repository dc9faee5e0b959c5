// The XML wrapper over fuzzed documents and queries: parse, query, walk, build and serialise, and
// append across documents.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

#include "fuzz_text.h"
#include "xml/dom_error.h"
#include "xml/libxml2/simple_path.h"
#include "xml/xml_parser.h"

using qor::fuzz::consumeMarkup;
using qor::fuzz::consumeText;
using qor::xml::XmlElement;
using qor::xml::XmlNodeList;
using qor::xml::XMLParser;

namespace {

// Whatever the wrapper writes parses again, namespace-aware, unless building made it exceed a
// parser bound (attributes per element, namespaces in scope, nesting depth), and is then written
// as it was: `rewritten` is what the whole document parsed from `markup` must give.
void checkParsesAgain(const std::u16string& markup, const std::u16string& rewritten) {
    XMLParser again;
    if (again.initWithXMLString(markup)) {
        std::u16string written;
        if (!again.getXMLString(written) || written != rewritten) {
            std::fprintf(stderr, "written markup is written otherwise once parsed again\n");
            std::abort();
        }
        return;
    }
    const std::string& why = XMLParser::lastParseFailure().message;
    if (why.find("more than") == std::string::npos && why.find("depth") == std::string::npos) {
        std::fprintf(stderr, "written markup does not parse again: %s\n", why.c_str());
        std::abort();
    }
}

// A path query walked through the tree answers as the full query language does, which the same
// query joined with a path from the document that selects nothing goes through.
void checkPathQuery(XMLParser& document, const std::u16string& query, const XmlElement& context) {
    if (!qor::xml::SimplePath::parse(query)) {
        return;
    }
    const std::u16string evaluated = query + u" | //qor-nothing";
    std::u16string walkedText = u"(none)";
    std::u16string evaluatedText = u"(none)";
    document.stringValueForXQuery(query, walkedText);
    document.stringValueForXQuery(evaluated, evaluatedText);
    const bool sameFromContext =
        !context || document.getNodeForXQuery(query, context).get() ==
                        document.getNodeForXQuery(evaluated, context).get();
    if (walkedText != evaluatedText || !sameFromContext) {
        std::fprintf(stderr, "a path query walked and evaluated differs\n");
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    XMLParser document;
    XMLParser other;
    const std::u16string text =
        data.ConsumeBool() ? consumeMarkup(data, 4096) : consumeText(data, 4096);
    document.initWithXMLString(text);
    other.initWithXMLString(consumeMarkup(data, 512));
    XmlElement node;
    document.getRootNode(node);
    XmlElement otherRoot;
    other.getRootNode(otherRoot);
    XmlNodeList list;
    std::u16string out;
    // Appending each document into the other doubles them: a few rounds are enough to exercise
    // it without the fuzzer mistaking exponential growth for a leak.
    int appends = 0;
    try {
        for (int operation = 0; operation < 256 && data.remaining_bytes() > 0; ++operation) {
            switch (data.ConsumeIntegralInRange<int>(0, 11)) {
                case 0: {
                    const std::u16string query = consumeMarkup(data, 64);
                    document.stringValueForXQuery(query, out);
                    checkPathQuery(document, query, node);
                    break;
                }
                case 1:
                    if (XmlElement found = document.getNodeForXQuery(consumeMarkup(data, 64)))
                        node = found;
                    break;
                case 2: {
                    int32_t count = 0;
                    list = document.getChildNodesOfNode(node, &count);
                    break;
                }
                case 3:
                    if (XmlElement item = document.getNodeAtIndexFromNodeList(
                            list, data.ConsumeIntegral<int32_t>()))
                        node = item;
                    break;
                case 4:
                    document.getAttrsMapOfNode(node);
                    break;
                case 5:
                    document.getMapOfNode(node, out);
                    break;
                case 6:
                    document.addChildToNode(consumeMarkup(data, 16), consumeText(data, 32), node);
                    break;
                case 7:
                    document.addAttributeToNode(node, consumeMarkup(data, 16),
                                                consumeText(data, 32));
                    break;
                case 8:
                    if (++appends <= 8) {
                        document.addChildToNode(otherRoot, node);
                    }
                    break;
                case 9:
                    if (++appends <= 8) {
                        other.addChildToNode(node, otherRoot);
                    }
                    break;
                case 10:
                    if (document.getXMLStringOfNode(node, out)) {
                        checkParsesAgain(out, out + u"\n");
                    }
                    break;
                default:
                    if (document.getXMLString(out)) {
                        checkParsesAgain(out, out);
                    }
                    break;
            }
        }
    } catch (const qor::xml::DomError&) {
        // getChildNodesOfNode, getMapOfNode and getRootNode may let a DOM failure through.
    }
    return 0;
}
