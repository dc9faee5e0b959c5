// The SDK's host support library: log formats and UTF-16/UTF-8 conversion.
#include "qor/host_support.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <memory>
#include <string>

namespace {

template <typename Unit>
struct Freed {
    void operator()(Unit* text) const { qorFreeText(text); }
};
template <typename Unit>
using Owned = std::unique_ptr<Unit, Freed<Unit>>;

std::string text(Owned<char> owned) {
    return owned ? std::string(owned.get()) : std::string("<null>");
}

std::string format(const char16_t* format, ...) {
    va_list values;
    va_start(values, format);
    Owned<char> line(qorFormatLogText(format, values));
    va_end(values);
    return text(std::move(line));
}

std::u16string format16(const char16_t* format, ...) {
    va_list values;
    va_start(values, format);
    Owned<char16_t> line(qorFormatLogText16(format, values));
    va_end(values);
    return line ? std::u16string(line.get()) : u"<null>";
}

std::string logLine(int32_t level, const char16_t* module, const char16_t* component,
                    const char16_t* format, ...) {
    va_list values;
    va_start(values, format);
    Owned<char> line(qorFormatLogLine(level, module, component, format, values));
    va_end(values);
    return text(std::move(line));
}

TEST(HostSupport, FormatsTheThreeConversionsAndPercent) {
    EXPECT_EQ(format(u"Loading Applet - %s for WindowID - %s", u"slider", u"w1"),
              "Loading Applet - slider for WindowID - w1");
    EXPECT_EQ(format(u"%d|%d|%d", int32_t{0}, int32_t{-42}, INT32_MIN), "0|-42|-2147483648");
    EXPECT_EQ(format(u"%x|%x", uint32_t{0xBEEF}, UINT32_MAX), "beef|ffffffff");
    EXPECT_EQ(format(u"100%% of %s", u"it"), "100% of it");
    EXPECT_EQ(format(u"caf\u00e9 %s", u"\u00e9t\u00e9 \U0001F600"),
              "caf\xc3\xa9 \xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80");
    EXPECT_EQ(format16(u"%s=%d", u"\u00e9", int32_t{7}), u"\u00e9=7");
}

TEST(HostSupport, UnknownConversionsAreCopiedAndTakeNoValue) {
    EXPECT_EQ(format(u"%q %s %5d %", u"kept"), "%q kept %5d %");
    EXPECT_EQ(format(u"%"), "%");
}

TEST(HostSupport, NullTextsAreHarmless) {
    EXPECT_EQ(format(u"[%s]", static_cast<const char16_t*>(nullptr)), "[(null)]");
    EXPECT_EQ(format(nullptr), "");
    EXPECT_EQ(format16(nullptr), u"");
    EXPECT_EQ(logLine(30, nullptr, nullptr, nullptr), "30 /: ");
    EXPECT_EQ(qorUtf16ToUtf8(nullptr), nullptr);
    EXPECT_EQ(qorUtf8ToUtf16(nullptr), nullptr);
    qorFreeText(nullptr);
}

TEST(HostSupport, FormatsAWholeLogCall) {
    EXPECT_EQ(logLine(40, u"QOR", u"QORAppletManager", u"Load error: %s", u"no such file"),
              "40 QOR/QORAppletManager: Load error: no such file");
}

TEST(HostSupport, ConvertsBothWaysWithoutLoss) {
    const std::u16string original = u"a\u00e9\u20ac\U0001F600z";
    Owned<char> utf8(qorUtf16ToUtf8(original.c_str()));
    ASSERT_TRUE(utf8);
    EXPECT_EQ(std::string(utf8.get()), "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80z");
    Owned<char16_t> back(qorUtf8ToUtf16(utf8.get()));
    ASSERT_TRUE(back);
    EXPECT_EQ(std::u16string(back.get()), original);
    Owned<char> empty(qorUtf16ToUtf8(u""));
    EXPECT_EQ(std::string(empty.get()), "");
}

TEST(HostSupport, UnpairedSurrogatesBecomeTheReplacementCharacter) {
    const std::u16string lone =
        u"a\xD800"
        u"b\xDFFF"
        u"c\xDC00\xD800";
    Owned<char> utf8(qorUtf16ToUtf8(lone.c_str()));
    EXPECT_EQ(std::string(utf8.get()), "a\uFFFDb\uFFFDc\uFFFD\uFFFD");
}

TEST(HostSupport, IllFormedUtf8BecomesTheReplacementCharacterPerByte) {
    // A stray continuation byte, an overlong form, an encoded surrogate, a truncated sequence.
    Owned<char16_t> utf16(qorUtf8ToUtf16("a\x80z\xc0\xaf-\xed\xa0\x80-\xe2\x82"));
    EXPECT_EQ(std::u16string(utf16.get()), u"a\uFFFDz\uFFFD\uFFFD-\uFFFD\uFFFD\uFFFD-\uFFFD\uFFFD");
}

}  // namespace

namespace qor::test {
namespace {

// qorLoadBindingsPayload: the payload's text, or the error it gave.
struct Built {
    std::u16string payload;
    std::string error;
};
Built build(const char* bindings, const char16_t* appletID = u"slider",
            const char16_t* instanceID = u"w1") {
    char* error = nullptr;
    Owned<char16_t> payload(qorLoadBindingsPayload(appletID, u"1.0", instanceID, bindings, &error));
    Owned<char> reason(error);
    EXPECT_TRUE((payload == nullptr) != (reason == nullptr)) << "exactly one of the two";
    return {payload ? std::u16string(payload.get()) : u"", reason ? reason.get() : ""};
}

TEST(LoadBindingsPayload, WrapsTheFilesTextAndLeavesOutWhatCannotStandInsideAnElement) {
    struct Case {
        const char* bindings;
        const char16_t* body;  // what the payload holds of the text
    };
    const Case cases[] = {
        {"<bindings/>", u"<bindings/>"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<bindings/>\n", u"\n<bindings/>\n"},
        {"\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8' standalone='yes'?>\r\n"
         "<!-- c --><?tool x?>\n<bindings>\xC3\xA9</bindings>",
         u"\r\n<!-- c --><?tool x?>\n<bindings>\u00e9</bindings>"},
        {"<?xml version=\"1.0\"?><bindings/>", u"<bindings/>"},
        {"\xEF\xBB\xBF<bindings/>", u"<bindings/>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bindings);
        EXPECT_EQ(build(c.bindings).payload,
                  u"<applet><CommandLineArguments><appletID>slider</appletID><appletVersion>1.0"
                  u"</appletVersion><instanceID>w1</instanceID>" +
                      std::u16string(c.body) + u"</CommandLineArguments></applet>");
    }
    EXPECT_EQ(build("<bindings/>", u"a&b<c>").payload.substr(30, 28),
              u"<appletID>a&amp;b&lt;c&gt;</");
}

TEST(LoadBindingsPayload, SaysWhatIsWrongWithATextThatWouldFail) {
    struct Case {
        const char* bindings;
        std::string error;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><bindings/>",
         "line 1: the XML declaration names the encoding \"ISO-8859-1\"; the text must be UTF-8"},
        {"\n<?xml version=\"1.0\"?><bindings/>",
         "line 2: an XML declaration (\"<?xml ...?>\") may only open the text"},
        {"<?xml version=\"1.0\"", "line 1: the XML declaration is not closed with \"?>\""},
        {"<!DOCTYPE bindings><bindings/>",
         "line 1: a document type declaration, which QOR refuses"},
        {"<!-- a comment -->\n\n<binding propertyName=\"x\"/>",
         "line 3: the root element is <binding>, not <bindings>"},
        {"<bindingsX/>", "line 1: the root element is <bindingsX>, not <bindings>"},
        {"  \n", "line 2: no <bindings> element"},
        {"<!-- open", "line 1: a comment is not closed with \"-->\""},
        {"bindings", "line 1: text before the <bindings> element"},
        {"<bindings>\n\xFF</bindings>", "line 2: the text is not UTF-8 (byte 0xFF)"},
        {"<bindings>\xED\xA0\x80</bindings>", "line 1: the text is not UTF-8 (byte 0xED)"},
        {"<bindings>\x01</bindings>", "line 1: character U+0001 cannot stand in XML"},
        {nullptr, "the bindings text is null"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bindings != nullptr ? c.bindings : "(null)");
        EXPECT_EQ(build(c.bindings).error, c.error);
    }
    EXPECT_EQ(build("<bindings/>", nullptr).error, "appletID is null");
    const char16_t unpaired[] = {u'w', 0xD800, 0};
    EXPECT_EQ(build("<bindings/>", u"slider", unpaired).error,
              "instanceID holds U+D800, which XML cannot hold");
    // Without a place for the error, only the null result tells.
    EXPECT_EQ(qorLoadBindingsPayload(u"a", u"1", u"w1", "<x/>", nullptr), nullptr);
}

}  // namespace
}  // namespace qor::test
