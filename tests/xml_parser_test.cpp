// The XML wrapper through its public interface.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "log_format.h"
#include "platform/last_system_error.h"
#include "support/test_platform.h"
#include "support/text_matchers.h"
#include "xml/dom_error.h"
#include "xml/namespace_check.h"
#include "xml/parse_limits.h"
#include "xml/text_element_writer.h"
#include "xml/xml_parser.h"

namespace qor::xml {
namespace {

using test::domTellsLines;
using test::StartsWith16;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Report {
    int32_t level;
    std::u16string component;
    std::u16string text;
};

class CapturingLogger : public UtilityLogger {
  public:
    void log(int32_t level, const char16_t* context, const char16_t* component,
             const char16_t* format, va_list values) override {
        EXPECT_EQ(std::u16string(context), u"");
        reports.push_back({level, component, host::formatLogLine(format, values)});
    }
    std::vector<Report> reports;
};

std::u16string u16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

class XmlParserTest : public ::testing::Test {
  protected:
    XMLParser parserWith(const std::u16string& xml) {
        XMLParser parser(&logger);
        EXPECT_TRUE(parser.initWithXMLString(xml)) << "parsing the fixture document";
        return parser;
    }
    std::u16string serialised(XMLParser& parser) {
        std::u16string text;
        EXPECT_TRUE(parser.getXMLString(text));
        return text;
    }
    std::u16string lastReport() const {
        return logger.reports.empty() ? u"" : logger.reports.back().text;
    }

    CapturingLogger logger;
};

TEST_F(XmlParserTest, RefusesWhatIsNotAWellFormedDocumentAndKeepsTheEarlierOne) {
    XMLParser parser(&logger);
    const std::u16string refused[] = {
        u"",
        u"not xml",
        u"<a>",
        u"<a></b>",
        u"<a/><b/>",
        u"<a/>text",
        u"<a x='1' x='2'/>",
        u"<a>&undefined;</a>",
        u"<!DOCTYPE a><a/>",
        u"<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>",
        u"<!DOCTYPE a SYSTEM 'file:///etc/passwd'><a/>",
        u"<!DOCTYPE a [<!ENTITY e SYSTEM 'file:///etc/passwd'>]><a>&e;</a>",
        u"<!DOCTYPE a [<!ENTITY e SYSTEM 'http://127.0.0.1:9/x'>]><a>&e;</a>",
    };
    ::testing::internal::CaptureStderr();
    for (const std::u16string& text : refused) {
        EXPECT_FALSE(parser.initWithXMLString(text));
    }
    std::u16string out = u"untouched";
    EXPECT_FALSE(parser.getXMLString(out));
    EXPECT_EQ(out, u"untouched");

    ASSERT_TRUE(parser.initWithXMLString(u"<kept/>"));
    for (const std::u16string& text : refused) {
        EXPECT_FALSE(parser.initWithXMLString(text));
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_THAT(serialised(parser), StartsWith16(u"<kept/>"));
    // Only the one not-initialised read was reported.
    ASSERT_EQ(logger.reports.size(), 1u);
    EXPECT_EQ(logger.reports[0].level, 20);
    EXPECT_EQ(logger.reports[0].text, u"getXMLString ... XMLParser not Initialized ...");
}

TEST_F(XmlParserTest, ASecondDocumentReplacesTheFirst) {
    XMLParser parser = parserWith(u"<first/>");
    ASSERT_TRUE(parser.initWithXMLString(u"<?xml version='1.0' encoding='ISO-8859-1'?><second/>"));
    EXPECT_EQ(serialised(parser), u"<second/>\n");
}

TEST_F(XmlParserTest, QueriesReadValuesNodesAndWholeSubtreeText) {
    XMLParser parser = parserWith(
        u"<r><applet appletID='calc' appletVersion=''/><applet appletID='second'/>"
        u"<t>a<b>b<c>c</c></b>d</t></r>");
    std::u16string out = u"untouched";
    EXPECT_TRUE(parser.stringValueForXQuery(u"//applet/@appletID", out));
    EXPECT_EQ(out, u"calc");  // the first in document order
    EXPECT_TRUE(parser.stringValueForXQuery(u"//applet/@appletVersion", out));
    EXPECT_EQ(out, u"");
    EXPECT_TRUE(parser.stringValueForXQuery(u"//t", out));
    EXPECT_EQ(out, u"abcd");

    out = u"untouched";
    EXPECT_FALSE(parser.stringValueForXQuery(u"//applet/@instanceID", out));
    EXPECT_EQ(out, u"untouched");
    EXPECT_FALSE(parser.nodeExistsXQuery(u"//missing"));
    EXPECT_TRUE(parser.nodeExistsXQuery(u"//applet"));

    EXPECT_FALSE(parser.getNodeForXQuery(u"//applet/@appletID"));  // an attribute
    EXPECT_FALSE(parser.getNodeForXQuery(u"//t/text()"));          // a text node
    EXPECT_FALSE(parser.getNodeForXQuery(u"//missing"));
    const XmlElement applet = parser.getNodeForXQuery(u"//applet");
    ASSERT_TRUE(applet);
    std::u16string name;
    EXPECT_TRUE(parser.getMapOfNode(applet, name));
    EXPECT_EQ(name, u"applet");
    EXPECT_THAT(logger.reports, IsEmpty());
}

// Paths like "//a/b/@c" are answered by a walk of the tree; the same query joined with one that
// selects nothing goes through the full query language, and both must agree.
TEST_F(XmlParserTest, PathQueriesAnswerAsTheFullQueryLanguageDoes) {
    XMLParser parser = parserWith(
        u"<r xmlns:p='urn:p'><p:applet appletID='in a namespace'/>"
        u"<applet p:appletID='prefixed attribute'/>"
        u"<x><applet><applet appletID='nested'/></applet></x>"
        u"<applet appletID='later'><CommandLineArguments><id>deep</id></CommandLineArguments>"
        u"</applet><CommandLineArguments><id>outside</id></CommandLineArguments>"
        u"<d xmlns='urn:d'><applet appletID='default namespace'/></d></r>");
    const std::vector<std::pair<std::u16string, std::u16string>> expected = {
        {u"//applet/@appletID", u"nested"},
        {u"//x/applet/applet/@appletID", u"nested"},
        {u"//r/applet/@appletID", u"later"},
        {u"//applet/CommandLineArguments/id", u"deep"},
        {u"//CommandLineArguments/id", u"deep"},
        {u"//r/CommandLineArguments", u"outside"},
        {u"//x/applet", u""},
        {u"//applet/@missing", u"(none)"},
        {u"//r/x/applet/@appletID", u"(none)"},
        {u"//x/applet/applet/applet", u"(none)"},
        {u"//p/applet", u"(none)"},
        {u"//x/@appletID", u"(none)"},
    };
    const auto valueOf = [&parser](const std::u16string& query) {
        std::u16string out = u"(none)";
        parser.stringValueForXQuery(query, out);
        return out;
    };
    for (const auto& [query, value] : expected) {
        SCOPED_TRACE(std::string(query.begin(), query.end()));
        EXPECT_EQ(valueOf(query), value);
        EXPECT_EQ(valueOf(query + u" | //nothing"), value);
        EXPECT_EQ(parser.nodeExistsXQuery(query), value != u"(none)");
    }
    std::u16string walked, evaluated;
    parser.getXMLStringOfNode(parser.getNodeForXQuery(u"//x/applet"), walked);
    parser.getXMLStringOfNode(parser.getNodeForXQuery(u"//x/applet | //nothing"), evaluated);
    EXPECT_EQ(walked, evaluated);
    EXPECT_EQ(walked, u"<applet><applet appletID=\"nested\"/></applet>");
    EXPECT_FALSE(parser.nodeExistsXQuery(u"//d"));  // a bare name is in no namespace
    EXPECT_THAT(logger.reports, IsEmpty());
}

TEST_F(XmlParserTest, MalformedQueriesAreReportedAtLevel40) {
    XMLParser parser = parserWith(u"<r/>");
    std::u16string out = u"untouched";
    EXPECT_FALSE(parser.nodeExistsXQuery(u"//["));
    EXPECT_FALSE(parser.stringValueForXQuery(u"//[", out));
    EXPECT_FALSE(parser.getNodeForXQuery(u"///"));
    EXPECT_FALSE(parser.getNodeForXQuery(u"count(//r)"));  // not a set of nodes
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(parser.nodeExistsXQuery(u"//r[coun(.)]"));  // no such function
    EXPECT_FALSE(parser.nodeExistsXQuery(u"//r[$v]"));       // no variables
    EXPECT_FALSE(parser.nodeExistsXQuery(u"//a\uFFFF"));     // no XML character
    EXPECT_FALSE(parser.nodeExistsXQuery(u"//r[p:f (1)]"));  // no prefixed function
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(out, u"untouched");
    ASSERT_EQ(logger.reports.size(), 8u);
    // A colon inside a literal or an axis is no function call.
    EXPECT_FALSE(parser.nodeExistsXQuery(u"//r[@a = 'p:f(']"));
    EXPECT_TRUE(parser.nodeExistsXQuery(u"child::r"));
    EXPECT_EQ(logger.reports.size(), 8u);
    for (const Report& report : logger.reports) {
        EXPECT_EQ(report.level, 40);
        EXPECT_EQ(report.component, u"XMLParser");
        EXPECT_THAT(report.text, StartsWith16(u"Caught exception in ... nodeExistsXQuery. com "
                                              u"error:80004005  system error:"));
    }
}

TEST_F(XmlParserTest, ChildNodesAndTheirElements) {
    XMLParser parser = parserWith(u"<r><a/>text<!--c--><b/></r>");
    XmlElement root;
    ASSERT_TRUE(parser.getRootNode(root));
    int32_t count = -1;
    const XmlNodeList children = parser.getChildNodesOfNode(root, &count);
    ASSERT_EQ(count, 4);
    std::vector<std::u16string> names;
    for (int32_t i = 0; i <= count; ++i) {
        std::u16string name = u"-";
        if (const XmlElement child = parser.getNodeAtIndexFromNodeList(children, i)) {
            parser.getMapOfNode(child, name);
        }
        names.push_back(name);
    }
    EXPECT_THAT(names, ElementsAre(u"a", u"-", u"-", u"b", u"-"));

    const XmlElement leaf = parser.getNodeForXQuery(u"//a");
    EXPECT_FALSE(parser.getChildNodesOfNode(leaf, &count));
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(parser.getChildNodesOfNode(leaf, nullptr));
    EXPECT_THROW(parser.getChildNodesOfNode(XmlNode(), &count), DomError);
    EXPECT_FALSE(parser.getNodeAtIndexFromNodeList(XmlNodeList(), 0));
    EXPECT_EQ(lastReport(), u"getNodeAtIndexFromNodeList ... NodeList is null.");
}

TEST_F(XmlParserTest, AttributeMapsAreOrderedAndKeepStoredValues) {
    XMLParser parser = parserWith(u"<r z='1' b='&lt;2&gt;' xmlns:p='urn:p' p:q='3'><none/></r>");
    XmlElement root;
    parser.getRootNode(root);
    const AttributeMap attributes = parser.getAttrsMapOfNode(root);
    std::vector<std::pair<std::u16string, std::u16string>> listed(attributes.begin(),
                                                                  attributes.end());
    EXPECT_THAT(listed, ElementsAre(std::pair{std::u16string(u"b"), std::u16string(u"<2>")},
                                    std::pair{std::u16string(u"p:q"), std::u16string(u"3")},
                                    std::pair{std::u16string(u"xmlns:p"), std::u16string(u"urn:p")},
                                    std::pair{std::u16string(u"z"), std::u16string(u"1")}));
    EXPECT_THAT(parser.getAttrsMapOfNode(parser.getNodeForXQuery(u"//none")), IsEmpty());
    EXPECT_THAT(logger.reports, IsEmpty());
    EXPECT_THAT(parser.getAttrsMapOfNode(XmlNode()), IsEmpty());
    EXPECT_EQ(lastReport(), u"getMapFromNode ... Node is null.");
}

TEST_F(XmlParserTest, OneAttributeReadsAsTheMapWouldGiveIt) {
    XMLParser parser =
        parserWith(u"<r xmlns='urn:d' xmlns:p='urn:p' z='1' p:q='&#xe9;3' b=''><e p:z='x'/></r>");
    XmlElement root;
    parser.getRootNode(root);
    const AttributeMap attributes = parser.getAttrsMapOfNode(root);
    for (const std::u16string name : {u"z", u"p:q", u"b", u"xmlns", u"xmlns:p"}) {
        std::u16string value = u"untouched";
        EXPECT_TRUE(parser.getAttributeOfNode(root, name, value));
        EXPECT_EQ(value, attributes.at(name));
    }
    for (const std::u16string name : {u"q", u"p:z", u"xmlns:q", u"p:", u":q", u"Z", u""}) {
        std::u16string value = u"untouched";
        EXPECT_FALSE(parser.getAttributeOfNode(root, name, value));
        EXPECT_EQ(value, u"untouched");
    }
    EXPECT_THAT(logger.reports, IsEmpty());
    std::u16string value;
    EXPECT_FALSE(parser.getAttributeOfNode(XmlNode(), u"z", value));
    EXPECT_EQ(lastReport(), u"getMapFromNode ... Node is null.");
}

TEST_F(XmlParserTest, RelativeQueriesStartAtTheirContextNode) {
    XMLParser parser =
        parserWith(u"<a><b id='outer'><c/></b><x><b id='inner'><c/></b><c/></x></a>");
    const XmlElement x = parser.getNodeForXQuery(u"/a/x");
    std::u16string id;
    parser.getAttributeOfNode(parser.getNodeForXQuery(u"descendant-or-self::b", x), u"id", id);
    EXPECT_EQ(id, u"inner");
    EXPECT_FALSE(parser.getNodeForXQuery(u"descendant-or-self::a", x));
    EXPECT_FALSE(parser.getNodeForXQuery(u"b", XmlNode()));
    XMLParser third = parserWith(u"<a><x/></a>");
    EXPECT_FALSE(parser.getNodeForXQuery(u"self::x", third.getNodeForXQuery(u"/a/x")));
    EXPECT_THAT(logger.reports, IsEmpty());
}

// Paths from a context node and unions of them, walked, against the same query joined with a path
// from the document, which goes through the full query language.
TEST_F(XmlParserTest, RelativePathsAndTheirUnionsAnswerAsTheFullQueryLanguageDoes) {
    XMLParser parser = parserWith(
        u"<r id='r'><bindings id='b0'><eventBindings id='e0'><binding id='n'><bindings id='b1'>"
        u"<eventBindings id='e1'/></bindings></binding></eventBindings>"
        u"<propertyBindings id='p0'/></bindings><a id='a'><b id='ab'/></a><b id='b'/></r>");
    const auto idOf = [&parser](const XmlElement& element) {
        std::u16string id = u"(none)";
        if (element) {
            parser.getAttributeOfNode(element, u"id", id);
        }
        return id;
    };
    const std::vector<std::u16string> queries = {
        u"eventBindings | .//bindings/eventBindings",
        u"propertyBindings | .//bindings/propertyBindings",
        u".//eventBindings",
        u".//bindings/eventBindings",
        u"eventBindings",
        u"binding/bindings",
        u"a/b",
        u".//b",
        u"b | a",
        u".//r",
    };
    for (const std::u16string context : {u"//r", u"//bindings", u"//eventBindings", u"//a"}) {
        const XmlElement from = parser.getNodeForXQuery(context);
        ASSERT_TRUE(from);
        for (const std::u16string& query : queries) {
            SCOPED_TRACE(std::string(context.begin(), context.end()) + " then " +
                         std::string(query.begin(), query.end()));
            EXPECT_EQ(idOf(parser.getNodeForXQuery(query, from)),
                      idOf(parser.getNodeForXQuery(query + u" | //qor-nothing", from)));
        }
    }
    const XmlElement bindings = parser.getNodeForXQuery(u"//bindings");
    EXPECT_EQ(idOf(parser.getNodeForXQuery(u"eventBindings | .//bindings/eventBindings", bindings)),
              u"e0");
    EXPECT_EQ(idOf(parser.getNodeForXQuery(u".//bindings/eventBindings", bindings)), u"e1");
    EXPECT_EQ(idOf(parser.getNodeForXQuery(u"b | a", parser.getNodeForXQuery(u"//r"))), u"a");
    EXPECT_THAT(logger.reports, IsEmpty());
}

// LoadBindings' section query from its bindings element, in terms both DOMs' languages share,
// finds what "//bindings/<section>" finds in a document of that element alone.
TEST_F(XmlParserTest, AUnionFromAContextSelectsInDocumentOrder) {
    for (const std::u16string first : {u"inner", u"own"}) {
        const std::u16string inner = u"<bindings><eventBindings id='inner'/></bindings>";
        const std::u16string own = u"<eventBindings id='own'/>";
        XMLParser parser = parserWith(u"<a><eventBindings id='before'/><bindings>" +
                                      (first == u"inner" ? inner + own : own + inner) +
                                      u"</bindings><eventBindings id='after'/></a>");
        const XmlElement bindings = parser.getNodeForXQuery(u"/a/bindings");
        std::u16string id;
        EXPECT_TRUE(parser.getAttributeOfNode(
            parser.getNodeForXQuery(u"eventBindings | .//bindings/eventBindings", bindings), u"id",
            id));
        EXPECT_EQ(id, first);
        XMLParser copy(&logger);
        ASSERT_TRUE(copy.initWithNode(bindings));
        EXPECT_TRUE(
            copy.getAttributeOfNode(copy.getNodeForXQuery(u"//bindings/eventBindings"), u"id", id));
        EXPECT_EQ(id, first);
    }
    EXPECT_THAT(logger.reports, IsEmpty());
}

TEST_F(XmlParserTest, TextWrittenElementsAreWhatTheWrapperBuilds) {
    const std::vector<std::u16string> texts = {u"plain",
                                               u"",
                                               u"a&b<c>d\"e'f\r\ng\th",
                                               u"\u00e9\U0001F600",
                                               u"]]>",
                                               u"&amp;",
                                               std::u16string(u"a\xD800"
                                                              u"z\xDC00"
                                                              u"z\xDBFF")};  // lone halves of pairs
    XMLParser built = parserWith(u"<Root/>");
    XmlElement root;
    built.getRootNode(root);
    TextElementWriter written(u"Root");
    for (const std::u16string& text : texts) {
        ASSERT_TRUE(built.addChildToNode(u"e", text, root));
        ASSERT_TRUE(written.addTextChild(u"e", text));
    }
    // Refused alike: nothing is added.
    EXPECT_FALSE(built.addChildToNode(u"bad", u"a\u0001b", root));
    EXPECT_FALSE(written.addTextChild(u"bad", u"a\u0001b"));
    std::u16string expected;
    ASSERT_TRUE(built.getXMLString(expected));
    EXPECT_EQ(written.finish(), expected);

    XMLParser emptyBuilt = parserWith(u"<Root/>");
    ASSERT_TRUE(emptyBuilt.getXMLString(expected));
    EXPECT_EQ(TextElementWriter(u"Root").finish(), expected);
    // A lone surrogate becomes U+FFFD, as the conversion into the DOM makes it.
    TextElementWriter lone(u"Root");
    lone.addTextChild(u"e", std::u16string(1, char16_t(0xD800)) + u"x");
    EXPECT_EQ(lone.finish(), u"<Root><e>\uFFFDx</e></Root>\n");
}

TEST_F(XmlParserTest, BuildsDocumentsFromChildElementsAndAttributes) {
    XMLParser parser = parserWith(u"<CommandLineArguments/>");
    XmlElement root;
    ASSERT_TRUE(parser.getRootNode(root));
    EXPECT_TRUE(parser.addChildToNode(u"appletID", u"x", root));
    EXPECT_TRUE(parser.addChildToNode(u"empty", u"", root));
    EXPECT_TRUE(parser.addChildToNode(u"special", u"<&>\"'", root));
    EXPECT_TRUE(parser.addAttributeToNode(root, u"a", u"1"));
    EXPECT_TRUE(parser.addAttributeToNode(root, u"a", u"\"2\" & <3>"));
    const std::u16string text = serialised(parser);

    XMLParser reread = parserWith(text);
    std::u16string value;
    EXPECT_TRUE(reread.stringValueForXQuery(u"/CommandLineArguments/appletID", value));
    EXPECT_EQ(value, u"x");
    EXPECT_TRUE(reread.stringValueForXQuery(u"/CommandLineArguments/special", value));
    EXPECT_EQ(value, u"<&>\"'");
    EXPECT_TRUE(reread.stringValueForXQuery(u"/CommandLineArguments/@a", value));
    EXPECT_EQ(value, u"\"2\" & <3>");
    EXPECT_TRUE(reread.nodeExistsXQuery(u"/CommandLineArguments/empty"));
    EXPECT_THAT(logger.reports, IsEmpty());

    // Names that are no XML names are refused.
    EXPECT_FALSE(parser.addChildToNode(u"a b", u"", root));
    EXPECT_EQ(lastReport(),
              u"Caught exception in ... addChildToNode. com error:80070057  system "
              u"error:" +
                  u16(std::to_string(platform::lastSystemError())));
    // Nothing reaches standard error for a name libxml2 would complain about.
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(parser.addChildToNode(u"a\uFFFF", u"", root));
    EXPECT_FALSE(parser.addChildToNode(std::u16string(u"a\xD800"), u"", root));
    EXPECT_TRUE(parser.addChildToNode(u"\u00e9l\U0001F600-1.x", u"", root));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(parser.addAttributeToNode(root, u"", u"v"));
    EXPECT_THAT(lastReport(), StartsWith16(u"Error Occured. com error:80070057 system error:"));
    EXPECT_EQ(logger.reports.back().level, 50);
    EXPECT_FALSE(parser.addAttributeToNode(XmlElement(), u"n", u"v"));
    EXPECT_THAT(lastReport(), StartsWith16(u"Error Occured. com error:80004003 system error:"));
}

TEST_F(XmlParserTest, AppendsAcrossDocumentsAndRefusesCycles) {
    XMLParser target = parserWith(u"<propertyChange><propertyID>p</propertyID></propertyChange>");
    XMLParser data = parserWith(u"<data k='v'><x/></data>");
    XMLParser payload = parserWith(u"<applet><c/></applet>");
    XmlElement targetRoot, dataRoot, payloadRoot;
    target.getRootNode(targetRoot);
    data.getRootNode(dataRoot);
    payload.getRootNode(payloadRoot);
    EXPECT_TRUE(data.addChildToNode(payloadRoot, dataRoot));
    EXPECT_TRUE(target.addChildToNode(dataRoot, targetRoot));
    EXPECT_EQ(serialised(target),
              u"<propertyChange><propertyID>p</propertyID><data k=\"v\"><x/><applet><c/></applet>"
              u"</data></propertyChange>\n");

    // A node can't become its own descendant.
    const XmlElement propertyID = target.getNodeForXQuery(u"//propertyID");
    EXPECT_FALSE(target.addChildToNode(targetRoot, propertyID));
    EXPECT_THAT(lastReport(),
                StartsWith16(u"Caught exception in ... addChildToNode. com error:80004005"));
    EXPECT_FALSE(target.addChildToNode(XmlNode(), targetRoot));
    EXPECT_EQ(lastReport(), u"addChildToNode ... newNode or node is null!");
    EXPECT_FALSE(target.addChildToNode(u"n", u"t", XmlNode()));
    EXPECT_EQ(lastReport(), u"addChildToNode ... node is null!");

    // The name form appends into a node of another document too.
    EXPECT_TRUE(data.addChildToNode(u"fromData", u"1", targetRoot));
    EXPECT_TRUE(target.nodeExistsXQuery(u"/propertyChange/fromData"));
}

TEST_F(XmlParserTest, ANodeBecomesADocumentOfItsOwn) {
    XMLParser source = parserWith(u"<a><b x='1'><c>t</c></b><d/></a>");
    XMLParser copy(&logger);
    EXPECT_FALSE(copy.initWithNode(XmlNode()));
    ASSERT_TRUE(copy.initWithNode(source.getNodeForXQuery(u"//b")));
    EXPECT_EQ(serialised(copy), u"<b x=\"1\"><c>t</c></b>\n");
    EXPECT_FALSE(copy.nodeExistsXQuery(u"//d"));
    // The copy is independent: changing it leaves the source alone.
    XmlElement root;
    copy.getRootNode(root);
    copy.addChildToNode(u"e", u"", root);
    EXPECT_FALSE(source.nodeExistsXQuery(u"//e"));
}

TEST_F(XmlParserTest, HandlesKeepTheirDocumentAliveAfterTheWrapperIsGone) {
    XmlElement orphan;
    XmlNodeList children;
    {
        XMLParser parser = parserWith(u"<gone><kept>yes</kept></gone>");
        parser.getRootNode(orphan);
        int32_t count = 0;
        children = parser.getChildNodesOfNode(orphan, &count);
    }
    XMLParser other = parserWith(u"<other/>");
    std::u16string text;
    EXPECT_TRUE(other.getXMLStringOfNode(orphan, text));
    EXPECT_EQ(text, u"<gone><kept>yes</kept></gone>");
    const XmlElement kept = other.getNodeAtIndexFromNodeList(children, 0);
    ASSERT_TRUE(kept);
    EXPECT_TRUE(other.getXMLStringOfNode(kept, text));
    EXPECT_EQ(text, u"<kept>yes</kept>");
}

TEST_F(XmlParserTest, EveryOperationOfAnUninitialisedWrapperSaysSo) {
    XMLParser parser(&logger);
    EXPECT_FALSE(parser.initWithXMLString(u"<unclosed>"));
    XMLParser source = parserWith(u"<s a='1'><c/></s>");
    XmlElement element;
    source.getRootNode(element);
    int32_t count = 0;
    const XmlNodeList list = source.getChildNodesOfNode(element, &count);
    logger.reports.clear();

    std::u16string out;
    XmlElement root;
    EXPECT_FALSE(parser.stringValueForXQuery(u"//s", out));
    EXPECT_FALSE(parser.getNodeForXQuery(u"//s"));
    EXPECT_FALSE(parser.getNodeAtIndexFromNodeList(list, 0));
    EXPECT_THAT(parser.getAttrsMapOfNode(element), IsEmpty());
    EXPECT_FALSE(parser.getMapOfNode(element, out));
    EXPECT_FALSE(parser.getRootNode(root));
    EXPECT_FALSE(parser.addChildToNode(element, element));
    EXPECT_FALSE(parser.addChildToNode(u"n", u"t", element));
    EXPECT_FALSE(parser.getXMLStringOfNode(element, out));
    EXPECT_FALSE(parser.getXMLString(out));
    EXPECT_FALSE(parser.addAttributeToNode(element, u"n", u"v"));
    EXPECT_FALSE(parser.getChildNodesOfNode(element, &count));
    EXPECT_EQ(count, 0);

    std::vector<std::pair<int32_t, std::u16string>> seen;
    for (const Report& report : logger.reports) {
        seen.emplace_back(report.level, report.text);
    }
    const auto notInit = [](const char16_t* operation) {
        return std::pair{20, std::u16string(operation) + u" ... XMLParser not Initialized ..."};
    };
    EXPECT_THAT(seen,
                ElementsAre(notInit(u"stringValueForXQuery"), notInit(u"getNodeForXQuery"),
                            notInit(u"getNodeAtIndexFromNodeList"), notInit(u"getAttrsMapOfNode"),
                            notInit(u"getMapOfNode"), notInit(u"getRootNode"),
                            notInit(u"addChildToNode"), notInit(u"addChildToNode"),
                            notInit(u"getXMLStringOfNode"), notInit(u"getXMLString"),
                            std::pair{50, std::u16string(u"xmldoc not initialized")}));
}

TEST_F(XmlParserTest, Utf16GoesInAndComesOutWhole) {
    const std::u16string text = u"\u00e9\u4e2d\U0001F600";
    XMLParser parser = parserWith(u"<r a='" + text + u"'>" + text + u"</r>");
    std::u16string out;
    EXPECT_TRUE(parser.stringValueForXQuery(u"/r/@a", out));
    EXPECT_EQ(out, text);
    EXPECT_TRUE(parser.stringValueForXQuery(u"/r", out));
    EXPECT_EQ(out, text);

    // A text with an unpaired surrogate is no XML, wherever the surrogate stands: refused, with
    // the line it is on.
    XMLParser lone(&logger);
    for (const std::u16string refused : {u"<r>a\xD800z</r>", u"<r a='\xDC00'/>",
                                         u"<r><!--\xD83D--></r>", u"<r>\n\xDE00\xD83D</r>"}) {
        EXPECT_FALSE(lone.initWithXMLString(refused));
        EXPECT_THAT(XMLParser::lastParseFailure().message, ::testing::HasSubstr("surrogate"));
    }
    EXPECT_EQ(XMLParser::lastParseFailure().line, 2);
    EXPECT_EQ(XMLParser::lastParseFailure().message, "an unpaired surrogate (U+DE00)");
    // Text added to a document is written as U+FFFD instead.
    ASSERT_TRUE(lone.initWithXMLString(u"<r/>"));
    XmlElement root;
    lone.getRootNode(root);
    EXPECT_TRUE(lone.addChildToNode(u"c", std::u16string(u"x\xDC00y"), root));
    EXPECT_TRUE(lone.stringValueForXQuery(u"/r/c", out));
    EXPECT_EQ(out, u"x\uFFFDy");

    // The text is read as the UTF-16 it is, whatever encoding it declares.
    for (const std::u16string declared : {u"ISO-8859-1", u"UTF-16", u"UTF-8"}) {
        XMLParser declaring =
            parserWith(u"<?xml version='1.0' encoding='" + declared + u"'?><r>" + text + u"</r>");
        EXPECT_TRUE(declaring.stringValueForXQuery(u"/r", out));
        EXPECT_EQ(out, text);
    }
    XMLParser marked = parserWith(u"\uFEFF<r>" + text + u"</r>");
    EXPECT_TRUE(marked.stringValueForXQuery(u"/r", out));
    EXPECT_EQ(out, text);

    // A text is taken up to its first zero unit.
    XMLParser cut(&logger);
    EXPECT_TRUE(cut.initWithXMLString(std::u16string(u"<r/>\0garbage", 12)));
}

TEST_F(XmlParserTest, HostileDocumentsAreRefusedQuickly) {
    std::u16string laughs = u"<!DOCTYPE l [<!ENTITY l0 'ha'>";
    for (int i = 1; i < 10; ++i) {
        laughs += u"<!ENTITY l" + u16(std::to_string(i)) + u" '";
        for (int j = 0; j < 10; ++j) {
            laughs += u"&l" + u16(std::to_string(i - 1)) + u";";
        }
        laughs += u"'>";
    }
    laughs += u"]><l>&l9;</l>";
    std::u16string deep;
    for (int i = 0; i < 100000; ++i) {
        deep += u"<d>";
    }
    for (int i = 0; i < 100000; ++i) {
        deep += u"</d>";
    }
    ::testing::internal::CaptureStderr();
    XMLParser parser(&logger);
    EXPECT_FALSE(parser.initWithXMLString(laughs));
    EXPECT_FALSE(parser.initWithXMLString(deep));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_THAT(logger.reports, IsEmpty());
}

TEST_F(XmlParserTest, AFiftyMegabytePayloadIsHandled) {
    std::u16string big = u"<big>";
    const std::u16string item = u"<i a='1'>0123456789012345678901234567890123456789</i>";
    while (big.size() < 50u * 1024 * 1024 / sizeof(char16_t)) {
        big += item;
    }
    big += u"</big>";
    XMLParser parser(&logger);
    ASSERT_TRUE(parser.initWithXMLString(big));
    std::u16string out;
    EXPECT_TRUE(parser.stringValueForXQuery(u"/big/i[1]/@a", out));
    EXPECT_EQ(out, u"1");
}

std::u16string elementWithAttributes(std::size_t count, const std::u16string& name = u"a") {
    std::u16string text = u"<r";
    for (std::size_t i = 0; i < count; ++i) {
        text += u" " + name + u16(std::to_string(i)) + u"='1'";
    }
    return text + u"/>";
}

// Declarations of `count` namespaces, as attributes of a start tag.
std::u16string declarations(std::size_t count, const std::u16string& prefix) {
    std::u16string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += u" xmlns:" + prefix + u16(std::to_string(i)) + u"='urn:" + u16(std::to_string(i)) +
                u"'";
    }
    return text;
}

TEST_F(XmlParserTest, AttributesAndNamespacesBeyondTheBoundsAreRefusedBeforeParsing) {
    XMLParser parser(&logger);
    EXPECT_TRUE(parser.initWithXMLString(elementWithAttributes(kMaxAttributesPerElement)));
    EXPECT_FALSE(parser.initWithXMLString(elementWithAttributes(kMaxAttributesPerElement + 1)));
    EXPECT_EQ(XMLParser::lastParseFailure().line, 1);
    EXPECT_EQ(XMLParser::lastParseFailure().message, "more than 256 attributes on one element");
    // The shape that takes libxml2 seconds: 40,000 attributes on one element.
    EXPECT_FALSE(
        parser.initWithXMLString(u"<applet>\n" + elementWithAttributes(40000) + u"</applet>"));
    EXPECT_EQ(XMLParser::lastParseFailure().line, 2);

    // Declarations count per element and over the elements they are in scope for.
    const std::size_t half = kMaxNamespacesInScope / 2;
    const std::u16string siblings = u"<r><a" + declarations(kMaxNamespacesInScope, u"p") + u"/><b" +
                                    declarations(kMaxNamespacesInScope, u"p") + u"></b></r>";
    EXPECT_TRUE(parser.initWithXMLString(siblings));
    EXPECT_TRUE(parser.initWithXMLString(u"<r" + declarations(half, u"p") + u"><a" +
                                         declarations(half, u"q") + u"/></r>"));
    EXPECT_FALSE(parser.initWithXMLString(u"<r" + declarations(half, u"p") + u"><a" +
                                          declarations(half + 1, u"q") + u"/></r>"));
    EXPECT_EQ(XMLParser::lastParseFailure().message,
              "more than 64 namespace declarations in scope");
    EXPECT_FALSE(parser.initWithXMLString(u"<r xmlns='urn:d'" +
                                          declarations(kMaxNamespacesInScope, u"p") + u"/>"));
    EXPECT_THAT(logger.reports, IsEmpty());
}

TEST(ParseLimits, CountWhatAParserWouldCount) {
    const auto refused = [](const std::string& text) {
        return checkParseLimits(std::u16string(text.begin(), text.end())).has_value();
    };
    std::string many;
    for (std::size_t i = 0; i <= kMaxAttributesPerElement; ++i) {
        many += " a" + std::to_string(i) + " = \"x>\"";
    }
    EXPECT_TRUE(refused("<r" + many + ">"));
    EXPECT_TRUE(refused("<r" + many));  // unterminated
    // Markup inside comments, CDATA sections, processing instructions and values is no markup.
    EXPECT_FALSE(refused("<r><!--<r" + many + "/>--></r>"));
    EXPECT_FALSE(refused("<r><![CDATA[<r" + many + "/>]]></r>"));
    EXPECT_FALSE(refused("<?pi <r" + many + "/>?><r/>"));
    // A section that never ends hides nothing, and a '<' ends a value: a parser reads on there.
    EXPECT_TRUE(refused("<r><!--<r" + many + "/></r>"));
    EXPECT_TRUE(refused("<r v='<r" + many + "/>'/>"));
    // Declarations count however the white space inside the tag falls.
    for (const std::string& space :
         std::initializer_list<std::string>{"", " ", "\t", "\n ", "\r\n"}) {
        std::string nested = "<r>";
        for (std::size_t i = 0; i <= kMaxNamespacesInScope; ++i) {
            nested += "<e" + space + " xmlns:p" + std::to_string(i) + space + "=" + space +
                      (i % 2 == 0 ? "'urn:x>'" : "\"urn:x\"") + space + ">";
        }
        EXPECT_TRUE(refused(nested)) << "white space '" << space << "'";
    }
    EXPECT_FALSE(refused("<r xmlnsx='1' xmlns:p='urn:p'/>"));
}

TEST_F(XmlParserTest, UndeclaredPrefixesAreRefusedWithTheErrorThatRefusedThem) {
    XMLParser parser(&logger);
    for (const std::u16string text : {u"<p:r/>", u"<r p:a='1'/>", u"<r><p:a/></r>",
                                      u"<r xmlns:p='urn:p'/><p:a/>", u"<r xmlns:p=''/>"}) {
        EXPECT_FALSE(parser.initWithXMLString(text));
        EXPECT_FALSE(XMLParser::lastParseFailure().message.empty());
    }
    EXPECT_TRUE(parser.initWithXMLString(u"<p:r xmlns:p='urn:p' p:a='1'/>"));
    EXPECT_TRUE(XMLParser::lastParseFailure().empty());
    // A relative namespace name is only a warning: accepted, and nothing to show.
    EXPECT_TRUE(parser.initWithXMLString(u"<r xmlns:p='relative'/>"));
    EXPECT_TRUE(XMLParser::lastParseFailure().empty());
    // The error that refused the text, not the warning before it.
    EXPECT_FALSE(parser.initWithXMLString(u"<r xmlns:p='relative'>\n<a></r>"));
    EXPECT_FALSE(XMLParser::lastParseFailure().message.empty());
    if (domTellsLines()) {  // and the DOM's own words for it
        EXPECT_EQ(XMLParser::lastParseFailure().line, 2);
        EXPECT_THAT(XMLParser::lastParseFailure().message, ::testing::HasSubstr("mismatch"));
    }
    EXPECT_FALSE(parser.initWithXMLString(u"<r>\n<p:a/></r>"));
    EXPECT_EQ(XMLParser::lastParseFailure().line, 2);
    EXPECT_THAT(XMLParser::lastParseFailure().message, ::testing::HasSubstr("p"));
}

// The namespace check that the Windows build makes of a text its DOM loaded (that DOM lets
// namespace errors pass) refuses exactly what the wrapper refuses, on each platform: on Linux
// this compares it with libxml2's verdict.
TEST(NamespaceCheck, RefusesWhatTheParserRefuses) {
    const std::u16string xmlName = u"http://www.w3.org/XML/1998/namespace";
    const std::u16string xmlnsName = u"http://www.w3.org/2000/xmlns/";
    const std::vector<std::u16string> texts = {
        u"<r/>",
        u"<p:r/>",
        u"<r p:a='1'/>",
        u"<p:r xmlns:p='urn:p'></p:r>",
        u"<r xmlns:p='urn:p'><p:a p:b='1'/></r>",
        u"<r><a xmlns:p='urn:p'/><p:b/></r>",
        u"<r><a xmlns:p='urn:p'></a><p:b/></r>",
        u"<r xmlns:p='urn:p'/><!-- <q:a/> -->",
        u"<?pi <q:a?><r/>",
        u"<r><![CDATA[<q:a/>]]></r>",
        u"<r a='&lt;q:a&gt;' b=\"'q:x\"/>",
        u"<r\n  xmlns:p\n =\n 'urn:p'\tp:a = \"x>y\"/>",
        u"<r xmlns:p='&#x75;rn:p'><p:a/></r>",
        u"<r xmlns:p=''/>",
        u"<r xmlns=''/>",
        u"<r xmlns='urn:d'><a xmlns=''/></r>",
        u"<r xmlns:xmlns='urn:x'/>",
        u"<r xmlns:xml='urn:x'/>",
        u"<r xmlns:xml='" + xmlName + u"' xml:lang='de'/>",
        u"<r xml:space='preserve'><xml:a/></r>",
        u"<r xmlns:p='" + xmlName + u"'/>",
        u"<r xmlns='" + xmlName + u"'/>",
        u"<r xmlns:p='" + xmlnsName + u"'/>",
        u"<r xmlns='" + xmlnsName + u"'/>",
    };
    for (const std::u16string& text : texts) {
        XMLParser parser;
        const bool parsed = parser.initWithXMLString(text);
        EXPECT_EQ(xml::namespaceErrorIn(text).has_value(), !parsed)
            << std::string(text.begin(), text.end());
    }
}

TEST_F(XmlParserTest, DollarSignsInsideLiteralsAreText) {
    XMLParser parser = parserWith(u"<r><a b='$x'>1</a><a b=\"$\">2</a></r>");
    std::u16string out;
    EXPECT_TRUE(parser.stringValueForXQuery(u"//a[@b='$x']", out));
    EXPECT_EQ(out, u"1");
    EXPECT_TRUE(parser.stringValueForXQuery(u"//a[@b=\"$\"]", out));
    EXPECT_EQ(out, u"2");
    EXPECT_TRUE(parser.nodeExistsXQuery(u"//a[@b='$'][.='2'] | //a[@b=\"'$\"]"));
    EXPECT_THAT(logger.reports, IsEmpty());
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(parser.nodeExistsXQuery(u"//a[@b='x'][$v]"));
    EXPECT_FALSE(parser.nodeExistsXQuery(u"//a[@b=\"'\"][$v]"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    // Queries have no variables: refused and reported.
    EXPECT_EQ(logger.reports.size(), 2u);
}

TEST_F(XmlParserTest, TextsAndNamesThatWouldNotParseAgainAreRefused) {
    XMLParser parser = parserWith(u"<r xmlns:p='urn:p'><e/></r>");
    XmlElement root;
    ASSERT_TRUE(parser.getRootNode(root));
    const XmlElement e = parser.getNodeForXQuery(u"/r/e");
    const std::u16string unholdable[] = {u"a\u0001b", u"\uFFFE", u"x\uFFFF", u"\u001F"};
    for (const std::u16string& text : unholdable) {
        logger.reports.clear();
        EXPECT_FALSE(parser.addChildToNode(u"t", text, root));
        EXPECT_THAT(lastReport(), StartsWith16(u"Caught exception in ... addChildToNode. com "
                                               u"error:80070057"));
        EXPECT_FALSE(parser.addAttributeToNode(root, u"v", text));
        EXPECT_THAT(lastReport(), StartsWith16(u"Error Occured. com error:80070057 system error:"));
        EXPECT_EQ(logger.reports.back().level, 50);
    }
    // Namespace declarations and unbound prefixes are no attribute names.
    for (const std::u16string name : {u"xmlns", u"xmlns:q", u"q:a", u"p:", u"p:a:b", u":a"}) {
        EXPECT_FALSE(parser.addAttributeToNode(e, name, u"urn:other"))
            << std::string(name.begin(), name.end());
        EXPECT_THAT(lastReport(), StartsWith16(u"Error Occured. com error:80070057"));
    }
    for (const char16_t* name : {u"q:a", u"xmlns:a", u"p:a:b"}) {
        EXPECT_FALSE(parser.addChildToNode(name, u"", root));
        EXPECT_THAT(lastReport(), StartsWith16(u"Caught exception in ... addChildToNode. com "
                                               u"error:80070057"));
    }
    // Tab, line feed and carriage return are text; a bound prefix puts a name in its namespace.
    EXPECT_TRUE(parser.addChildToNode(u"t", u"a\tb\nc\rd", root));
    EXPECT_TRUE(parser.addAttributeToNode(e, u"v", u"a\tb\nc\rd"));
    EXPECT_TRUE(parser.addAttributeToNode(e, u"p:a", u"1"));
    EXPECT_TRUE(parser.addAttributeToNode(e, u"p:a", u"2"));  // replaced
    EXPECT_TRUE(parser.addAttributeToNode(e, u"xml:lang", u"en"));
    EXPECT_TRUE(parser.addChildToNode(u"p:c", u"", e));

    XMLParser reread = parserWith(serialised(parser));
    std::u16string value;
    EXPECT_TRUE(reread.stringValueForXQuery(u"/r/t", value));
    EXPECT_EQ(value, u"a\tb\nc\rd");
    EXPECT_TRUE(reread.stringValueForXQuery(u"/r/e/@v", value));
    EXPECT_EQ(value, u"a\tb\nc\rd");
    EXPECT_TRUE(reread.stringValueForXQuery(u"/r/e/@*[namespace-uri()='urn:p']", value));
    EXPECT_EQ(value, u"2");
    EXPECT_TRUE(reread.nodeExistsXQuery(u"/r/e/*[local-name()='c' and namespace-uri()='urn:p']"));
    EXPECT_TRUE(reread.stringValueForXQuery(u"/r/e/@xml:lang", value));
    EXPECT_EQ(value, u"en");
    EXPECT_THAT(reread.getAttrsMapOfNode(reread.getNodeForXQuery(u"/r/e")),
                ::testing::Not(::testing::Contains(::testing::Key(u"xmlns"))));
}

// Reparses a text on its own and tells whether the query selects something in it.
bool selectsInReparsed(const std::u16string& text, const std::u16string& query) {
    XMLParser reread;
    return reread.initWithXMLString(text) && reread.nodeExistsXQuery(query);
}

TEST_F(XmlParserTest, SubtreesKeepTheirNamespacesWhenCopiedOrWrittenOnTheirOwn) {
    XMLParser bindings = parserWith(
        u"<bindings xmlns:u='urn:u' xmlns='urn:d'><b><data><u:unit u:k='1'>x</u:unit><plain/>"
        u"</data></b></bindings>");
    const XmlElement data = bindings.getNodeForXQuery(u"//*[local-name()='data']");
    ASSERT_TRUE(data);
    std::u16string text;
    ASSERT_TRUE(bindings.getXMLStringOfNode(data, text));
    const std::u16string unit =
        u"/*[local-name()='data' and namespace-uri()='urn:d']/*[local-name()='unit' and "
        u"namespace-uri()='urn:u'][@*[local-name()='k' and namespace-uri()='urn:u']='1']";
    EXPECT_TRUE(selectsInReparsed(text, unit)) << std::string(text.begin(), text.end());
    XMLParser copy(&logger);
    ASSERT_TRUE(copy.initWithNode(data));
    EXPECT_TRUE(selectsInReparsed(serialised(copy), unit));

    // An element in no namespace placed under a default namespace stays in none.
    XMLParser payload = parserWith(u"<applet><c/></applet>");
    XmlElement payloadRoot, copyRoot;
    payload.getRootNode(payloadRoot);
    copy.getRootNode(copyRoot);
    EXPECT_TRUE(copy.addChildToNode(payloadRoot, copyRoot));
    EXPECT_TRUE(copy.addChildToNode(u"made", u"", copyRoot));
    const std::u16string whole = serialised(copy);
    EXPECT_TRUE(selectsInReparsed(whole, u"/*[local-name()='data']/applet/c"))
        << std::string(whole.begin(), whole.end());
    EXPECT_TRUE(selectsInReparsed(whole, u"/*[local-name()='data']/made"));

    // A prefix bound to another name where the copy goes in keeps its own meaning.
    XMLParser target = parserWith(u"<t xmlns:u='urn:other'><u:in/></t>");
    XmlElement targetRoot;
    target.getRootNode(targetRoot);
    EXPECT_TRUE(target.addChildToNode(data, targetRoot));
    const XmlElement inner = target.getNodeForXQuery(u"/t/*[local-name()='in']");
    EXPECT_TRUE(target.addChildToNode(target.getNodeForXQuery(u"//*[local-name()='unit']"), inner));
    const std::u16string moved = serialised(target);
    EXPECT_TRUE(selectsInReparsed(
        moved,
        u"/t/*[namespace-uri()='urn:other']/*[local-name()='unit' and namespace-uri()='urn:u']"))
        << std::string(moved.begin(), moved.end());
    EXPECT_TRUE(selectsInReparsed(
        moved,
        u"/t/*[namespace-uri()='urn:d']/*[local-name()='plain' and namespace-uri()='urn:d']"));
    EXPECT_THAT(logger.reports, IsEmpty());
}

// Written markup parses again and is written the same way again, whatever a DOM keeps of the
// declarations: each written once where the element has it, unused ones too, the xml prefix
// never, namespace names escaped as attribute values are; a moved element declares what it uses.
TEST_F(XmlParserTest, WrittenMarkupParsesAgainAndIsWrittenTheSame) {
    const struct {
        std::u16string text;
        std::u16string written;
    } cases[] = {
        {u"<e xmlns:a='urn:a' xmlns:b='urn:b'/>", u"<e xmlns:a=\"urn:a\" xmlns:b=\"urn:b\"/>\n"},
        {u"<e xmlns='urn:d' xmlns:a='urn:a'><f/></e>",
         u"<e xmlns=\"urn:d\" xmlns:a=\"urn:a\"><f/></e>\n"},
        {u"<e xml:lang='de' xml:space='preserve'><f xml:lang='fr'/></e>",
         u"<e xml:lang=\"de\" xml:space=\"preserve\"><f xml:lang=\"fr\"/></e>\n"},
        {u"<e xmlns:a='a&amp;b&lt;&quot;&#9;' xmlns:b='urn:\u00E9 b' a:x='&#13;&#10;'/>",
         u"<e xmlns:a=\"a&amp;b&lt;&quot;&#9;\" xmlns:b=\"urn:\u00E9 b\" a:x=\"&#13;&#10;\"/>\n"},
        {u"<?p d?><!--c--><e><![CDATA[<x>]]>a&amp;b&#13;<?q?></e>",
         u"<?p d?>\n<!--c-->\n<e><![CDATA[<x>]]>a&amp;b&#13;<?q?></e>\n"},
    };
    for (const auto& [text, written] : cases) {
        XMLParser document = parserWith(text);
        EXPECT_EQ(serialised(document), written);
        XMLParser again = parserWith(written);
        EXPECT_EQ(serialised(again), written);
    }

    XMLParser moved = parserWith(u"<r><s xmlns:a='urn:a'><a:x/></s><t/></r>");
    EXPECT_TRUE(moved.addChildToNode(moved.getNodeForXQuery(u"//*[local-name()='x']"),
                                     moved.getNodeForXQuery(u"/r/t")));
    EXPECT_EQ(serialised(moved), u"<r><s xmlns:a=\"urn:a\"/><t><a:x xmlns:a=\"urn:a\"/></t></r>\n");

    // Moved under a prefix bound otherwise, or out of a default namespace, and then copied or
    // written on its own, a subtree keeps its names' namespaces.
    XMLParser tree = parserWith(
        u"<r xmlns:p='urn:a' xmlns='urn:d'><f xmlns:p='urn:b'/><p:c/><x xmlns=''/><c/></r>");
    const XmlElement f = tree.getNodeForXQuery(u"/*/*[1]");
    const XmlElement x = tree.getNodeForXQuery(u"/*/*[3]");
    EXPECT_TRUE(tree.addChildToNode(tree.getNodeForXQuery(u"/*/*[2]"), f));
    EXPECT_TRUE(tree.addChildToNode(tree.getNodeForXQuery(u"/*/*[3]"), x));
    const std::u16string whole =
        u"<r xmlns:p=\"urn:a\" xmlns=\"urn:d\"><f xmlns:p=\"urn:b\"><p:c xmlns:p=\"urn:a\"/></f>"
        u"<x xmlns=\"\"><c xmlns=\"urn:d\"/></x></r>\n";
    EXPECT_EQ(serialised(tree), whole);
    if (test::copiesKeepMovedNamespaces()) {
        XmlElement root;
        tree.getRootNode(root);
        XMLParser copy(&logger);
        ASSERT_TRUE(copy.initWithNode(root));
        EXPECT_EQ(serialised(copy), whole);
    }
    std::u16string inner;
    EXPECT_TRUE(tree.getXMLStringOfNode(x, inner));
    EXPECT_EQ(inner, u"<x xmlns=\"\"><c xmlns=\"urn:d\"/></x>");
    EXPECT_THAT(logger.reports, IsEmpty());
}

TEST(UtilityLog, DeliversToTheFirstSinkPresent) {
    struct Seen {
        std::u16string how;
        std::u16string text;
    };
    static std::vector<Seen> seen;
    seen.clear();
    struct Logger : UtilityLogger {
        explicit Logger(const char16_t* sinkName) : name(sinkName) {}
        void log(int32_t, const char16_t*, const char16_t*, const char16_t* format,
                 va_list values) override {
            seen.push_back({name, host::formatLogLine(format, values)});
        }
        const char16_t* name;
    } given(u"given"), fallback(u"default");
    const UtilityLogHook hook = [](int32_t, const char16_t* module, const char16_t* component,
                                   const char16_t* fourth, const char16_t* context,
                                   const char16_t* format, va_list values) {
        seen.push_back({std::u16string(module) + u"/" + component + u"/" + fourth + u"/" + context,
                        host::formatLogLine(format, values)});
    };

    EXPECT_EQ(utilityLog(nullptr, 40, u"XMLParser", u"ctx", u"none %d", 1), 0);
    utilityDefaultLogger = &fallback;
    utilityLog(nullptr, 40, u"XMLParser", u"ctx", u"to default %x", 255u);
    utilityLogHook = hook;
    utilityLog(nullptr, 40, u"XMLParser", u"ctx", u"to hook");
    utilityLog(&given, 40, u"XMLParser", u"ctx", u"to given");
    utilityLogHook = nullptr;
    utilityDefaultLogger = nullptr;

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].how, u"default");
    EXPECT_EQ(seen[0].text, u"to default ff");
    EXPECT_EQ(seen[1].how, u"VunaUtils/XMLParser//ctx");
    EXPECT_EQ(seen[2].how, u"given");
}

TEST(UtilityLog, WithoutASinkTheWrapperReportsNothing) {
    XMLParser parser;
    std::u16string out;
    EXPECT_FALSE(parser.getXMLString(out));  // reported to nobody
}

}  // namespace
}  // namespace qor::xml
