// The XML wrapper against the floor: the same parse, queries and serialisation of a typical
// payload, done with bare libxml2 calls (and the same UTF-16 conversions at the edges).
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>

#include <string>

#include "platform/utf8.h"
#include "xml/xml_parser.h"

namespace {

const std::u16string kPayload =
    u"<applet><CommandLineArguments><appletID>calc</appletID><appletVersion>2.0</appletVersion>"
    u"<instanceID>w1</instanceID><componentID>okButton</componentID><event>click</event>"
    u"</CommandLineArguments><bindings><eventBindings><binding propertyName='volume'>"
    u"<source id='slider' event='changed' type='Slider'/><data><unit>dB</unit></data></binding>"
    u"</eventBindings><propertyBindings><binding propertyName='volume'><target command='Set' "
    u"viewID='main' type='label' id='l1'/></binding></propertyBindings></bindings></applet>";

const std::u16string kQueries[] = {u"//applet/CommandLineArguments/appletID",
                                   u"//applet/CommandLineArguments/appletVersion",
                                   u"//applet/CommandLineArguments/instanceID"};
const std::u16string kNodeQuery = u"//applet/CommandLineArguments/bindings";
const std::u16string kBindingsQuery = u"//applet/bindings";

void wrapper(benchmark::State& state) {
    for (auto _ : state) {
        qor::xml::XMLParser parser;
        parser.initWithXMLString(kPayload);
        std::u16string value;
        for (const std::u16string& query : kQueries) {
            parser.stringValueForXQuery(query, value);
            benchmark::DoNotOptimize(value);
        }
        const qor::xml::XmlElement bindings = parser.getNodeForXQuery(kBindingsQuery);
        std::u16string markup;
        parser.getXMLStringOfNode(bindings, markup);
        benchmark::DoNotOptimize(markup);
    }
}
BENCHMARK(wrapper);

// Bare libxml2, set up as well as it can be: one parser context, queries compiled once.
void floor(benchmark::State& state) {
    xmlInitParser();
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    xmlXPathContextPtr xpath = xmlXPathNewContext(nullptr);
    std::vector<xmlXPathCompExprPtr> compiled;
    for (const std::u16string& query : kQueries) {
        compiled.push_back(xmlXPathCompile(BAD_CAST qor::platform::toUtf8(query).c_str()));
    }
    xmlXPathCompExprPtr bindingsQuery =
        xmlXPathCompile(BAD_CAST qor::platform::toUtf8(kBindingsQuery).c_str());
    int parsed = 0;
    for (auto _ : state) {
        if (++parsed % 1000 == 0) {
            xmlFreeParserCtxt(context);
            context = xmlNewParserCtxt();
        }
        const std::string utf8 = qor::platform::toUtf8(kPayload);
        xmlDocPtr doc = xmlCtxtReadMemory(context, utf8.data(), static_cast<int>(utf8.size()),
                                          nullptr, "UTF-8", XML_PARSE_NONET | XML_PARSE_NOERROR);
        xpath->doc = doc;
        xpath->node = reinterpret_cast<xmlNodePtr>(doc);
        for (xmlXPathCompExprPtr query : compiled) {
            xmlXPathObjectPtr result = xmlXPathCompiledEval(query, xpath);
            xmlChar* content = xmlNodeGetContent(result->nodesetval->nodeTab[0]);
            std::u16string value = qor::platform::fromUtf8(reinterpret_cast<char*>(content));
            benchmark::DoNotOptimize(value);
            xmlFree(content);
            xmlXPathFreeObject(result);
        }
        xmlXPathObjectPtr result = xmlXPathCompiledEval(bindingsQuery, xpath);
        xmlBufferPtr buffer = xmlBufferCreate();
        xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer, "UTF-8", XML_SAVE_NO_DECL);
        xmlSaveTree(save, result->nodesetval->nodeTab[0]);
        xmlSaveClose(save);
        std::u16string markup =
            qor::platform::fromUtf8(reinterpret_cast<const char*>(xmlBufferContent(buffer)));
        benchmark::DoNotOptimize(markup);
        xmlBufferFree(buffer);
        xmlXPathFreeObject(result);
        xmlFreeDoc(doc);
    }
    for (xmlXPathCompExprPtr query : compiled) {
        xmlXPathFreeCompExpr(query);
    }
    xmlXPathFreeCompExpr(bindingsQuery);
    xmlXPathFreeContext(xpath);
    xmlFreeParserCtxt(context);
}
BENCHMARK(floor);

}  // namespace

BENCHMARK_MAIN();
