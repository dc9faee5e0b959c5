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
#include "xml/xml_parser.h"

namespace qor::xml {
namespace {

using test::domSurvivesMalformedQueries;
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

TEST_F(XmlParserTest, MalformedQueriesAreReportedAtLevel40) {
    if (!domSurvivesMalformedQueries()) {
        GTEST_SKIP() << "Wine's DOM crashes on malformed XSL patterns such as \"//[\"";
    }
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
    EXPECT_TRUE(parser.addChildToNode(u"\u00e9l\U0001F600-1.x:y", u"", root));
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

    // An unpaired surrogate becomes U+FFFD, in text and in names alike.
    XMLParser lone = parserWith(u"<r>a\xD800z</r>");
    EXPECT_TRUE(lone.stringValueForXQuery(u"/r", out));
    EXPECT_EQ(out, u"a\uFFFDz");
    XmlElement root;
    lone.getRootNode(root);
    EXPECT_TRUE(lone.addChildToNode(u"c", std::u16string(u"x\xDC00y"), root));
    EXPECT_TRUE(lone.stringValueForXQuery(u"/r/c", out));
    EXPECT_EQ(out, u"x\uFFFDy");

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
