// The XML wrapper in a process whose host changes libxml2's defaults or runs out of memory: QOR's
// results stay its own, and failures are reports, never escaping exceptions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/xmlmemory.h>
#include <libxml/xmlsave.h>

#include <string>
#include <vector>

#include "log_format.h"
#include "platform/utf8.h"
#include "support/allocation_failure.h"
#include "support/text_matchers.h"
#include "xml/xml_parser.h"

namespace qor::xml {
namespace {

using test::StartsWith16;

struct Report {
    int32_t level;
    std::u16string text;
};

class CapturingLogger : public UtilityLogger {
  public:
    void log(int32_t level, const char16_t*, const char16_t*, const char16_t* format,
             va_list values) override {
        reports.push_back({level, host::formatLogLine(format, values)});
    }
    std::vector<Report> reports;
};

// A large document makes the wrapper start the next parse with a new parser context, which is
// where libxml2 reads a host's defaults.
void renewParserContext() {
    XMLParser large;
    ASSERT_TRUE(
        large.initWithXMLString(u"<large>" + std::u16string(70 * 1024, u' ') + u"</large>"));
}

// Settings a host may give libxml2 for its own documents, put back when the test ends.
class HostDefaults {
  public:
    HostDefaults() : indentTreeOutput_(xmlIndentTreeOutput), saveNoEmptyTags_(xmlSaveNoEmptyTags) {
        keepBlanks_ = xmlKeepBlanksDefault(0);  // also sets xmlIndentTreeOutput
        xmlSaveNoEmptyTags = 1;
    }
    ~HostDefaults() {
        xmlKeepBlanksDefault(keepBlanks_);
        xmlIndentTreeOutput = indentTreeOutput_;
        xmlSaveNoEmptyTags = saveNoEmptyTags_;
    }

  private:
    int indentTreeOutput_;
    int saveNoEmptyTags_;
    int keepBlanks_ = 1;
};

TEST(XmlHostSettings, AHostsLibxml2DefaultsChangeNeitherWhatIsReadNorWhatIsWritten) {
    const std::u16string text = u"<r>\n  <a/>\n  <b> </b>\n</r>";
    HostDefaults host;
    renewParserContext();
    XMLParser parser;
    ASSERT_TRUE(parser.initWithXMLString(text));
    std::u16string out;
    ASSERT_TRUE(parser.getXMLString(out));
    EXPECT_EQ(out, text + u"\n");
    ASSERT_TRUE(parser.getXMLStringOfNode(parser.getNodeForXQuery(u"/r/a"), out));
    EXPECT_EQ(out, u"<a/>");
    int32_t count = 0;
    XmlElement root;
    parser.getRootNode(root);
    parser.getChildNodesOfNode(root, &count);
    EXPECT_EQ(count, 5);  // white space, a, white space, b, white space
    // The host's own settings are as it left them.
    EXPECT_EQ(xmlSaveNoEmptyTags, 1);
    EXPECT_EQ(xmlKeepBlanksDefaultValue, 0);
}

TEST(XmlHostSettings, ExhaustedMemoryCopyingAnAttributeValueIsAReport) {
    CapturingLogger logger;
    XMLParser parser(&logger);
    ASSERT_TRUE(parser.initWithXMLString(u"<r/>"));
    XmlElement root;
    parser.getRootNode(root);
    // Not ASCII, so the conversion reserves three bytes a unit: 12 MiB.
    const std::u16string value(4 * 1024 * 1024, u'\u00e9');
    bool added = true;
    {
        test::LargeAllocationsFail exhausted(8 * 1024 * 1024);
        EXPECT_NO_THROW(added = parser.addAttributeToNode(root, u"big", value));
    }
    EXPECT_FALSE(added);
    ASSERT_EQ(logger.reports.size(), 1u);
    EXPECT_EQ(logger.reports[0].level, 50);
    EXPECT_THAT(logger.reports[0].text,
                StartsWith16(u"Error Occured. com error:8007000e system error:"));
    EXPECT_EQ(logger.reports[0].text.back(), u'\n');
    EXPECT_TRUE(parser.addAttributeToNode(root, u"big", value));  // memory is back
}

// What libxml2's own save functions write for a node, for comparison with the wrapper's writer.
std::u16string savedByLibxml2(xmlNodePtr node) {
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer, "UTF-8", XML_SAVE_NO_DECL);
    if (node->type == XML_DOCUMENT_NODE) {
        xmlSaveDoc(save, reinterpret_cast<xmlDocPtr>(node));
    } else {
        xmlSaveTree(save, node);
    }
    xmlSaveClose(save);
    std::u16string text =
        platform::fromUtf8(reinterpret_cast<const char*>(xmlBufferContent(buffer)));
    xmlBufferFree(buffer);
    return text;
}

TEST(XmlHostSettings, WrittenMarkupIsWhatLibxml2sSaveFunctionsWrite) {
    const std::vector<std::u16string> documents = {
        u"<r a='x&quot;y&lt;&amp;&#10;&#13;&#9;\u00e9' xmlns:p=\"urn:'p\" p:b='1'><!--c-->"
        u"<?pi data?><?pi2?><![CDATA[x]]>y]]&gt;<e/><f></f>t&lt;&amp;&gt;&#13;\u00e9\u20ac"
        u"\U0001F600\n  </r>",
        u"<!--before--><?before b?><r xmlns='urn:d'><c xmlns=''/><p:c xmlns:p='urn:p'/></r>"
        u"<!--after-->",
        u"<r><![CDATA[]]><a b=''/>\t</r>",
    };
    CapturingLogger logger;
    for (const std::u16string& document : documents) {
        XMLParser parser(&logger);
        ASSERT_TRUE(parser.initWithXMLString(document));
        XmlElement root;
        ASSERT_TRUE(parser.getRootNode(root));
        std::u16string whole, element;
        ASSERT_TRUE(parser.getXMLString(whole));
        ASSERT_TRUE(parser.getXMLStringOfNode(root, element));
        EXPECT_EQ(whole, savedByLibxml2(reinterpret_cast<xmlNodePtr>(root.get()->doc)));
        EXPECT_EQ(element, savedByLibxml2(root.get()));
    }
    EXPECT_TRUE(logger.reports.empty());
}

// libxml2's allocator, failing while `failing` is set.
bool failing = false;
xmlMallocFunc realMalloc = nullptr;
void* failingMalloc(size_t bytes) {
    return failing ? nullptr : realMalloc(bytes);
}

TEST(XmlHostSettings, AParserThatCannotBeMadeGivesTheCreationReport) {
    CapturingLogger logger;
    XMLParser parser(&logger);
    ASSERT_TRUE(parser.initWithXMLString(u"<kept/>"));
    renewParserContext();
    xmlFreeFunc realFree = nullptr;
    xmlReallocFunc realRealloc = nullptr;
    xmlStrdupFunc realStrdup = nullptr;
    ASSERT_EQ(xmlMemGet(&realFree, &realMalloc, &realRealloc, &realStrdup), 0);
    ASSERT_EQ(xmlMemSetup(realFree, failingMalloc, realRealloc, realStrdup), 0);
    failing = true;
    ::testing::internal::CaptureStderr();  // libxml2 itself may say it ran out of memory
    const bool parsed = parser.initWithXMLString(u"<new/>");
    ::testing::internal::GetCapturedStderr();
    failing = false;
    xmlMemSetup(realFree, realMalloc, realRealloc, realStrdup);

    EXPECT_FALSE(parsed);
    ASSERT_EQ(logger.reports.size(), 1u);
    EXPECT_EQ(logger.reports[0].level, 40);
    EXPECT_THAT(logger.reports[0].text, StartsWith16(u"Failed in MSXML create instance error:"));
    std::u16string out;
    ASSERT_TRUE(parser.getXMLString(out));
    EXPECT_EQ(out, u"<kept/>\n");                      // the earlier document stays
    EXPECT_TRUE(parser.initWithXMLString(u"<new/>"));  // and the next parse makes its parser
}

}  // namespace
}  // namespace qor::xml
