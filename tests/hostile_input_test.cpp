// Input meant to hurt: nothing a host or an applet sends may crash, hang, leak or print.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "plugin/result_text.h"
#include "support/fixture_applets.h"
#include "support/test_platform.h"
#include "support/text_matchers.h"
#include "xml/parse_limits.h"

namespace qor::test {
namespace {

using ::testing::IsEmpty;

using HostileInput = AppletHarness;

std::u16string billionLaughs() {
    std::u16string text = u"<!DOCTYPE l [<!ENTITY l0 'ha'>";
    for (int i = 1; i < 10; ++i) {
        text += u"<!ENTITY l" + u16(std::to_string(i)) + u" '";
        for (int j = 0; j < 10; ++j) {
            text += u"&l" + u16(std::to_string(i - 1)) + u";";
        }
        text += u"'>";
    }
    return text + u"]><applet appletID='&l9;'><CommandLineArguments/></applet>";
}

std::u16string quadraticBlowUp() {
    const std::u16string big(100000, u'x');
    std::u16string text = u"<!DOCTYPE q [<!ENTITY e '" + big + u"'>]><applet>";
    for (int i = 0; i < 10000; ++i) {
        text += u"&e;";
    }
    return text + u"</applet>";
}

// One element with 40,000 attributes: libxml2 alone checks them pairwise, for seconds.
std::u16string quadraticAttributes() {
    std::u16string text = u"<applet appletID='calc' appletVersion='1' instanceID='w1'";
    for (int i = 0; i < 40000; ++i) {
        text += u" a" + u16(std::to_string(i)) + u"='1'";
    }
    return text + u"><CommandLineArguments/></applet>";
}

std::u16string deepNesting() {
    std::u16string text;
    for (int i = 0; i < 100000; ++i) {
        text += u"<applet>";
    }
    for (int i = 0; i < 100000; ++i) {
        text += u"</applet>";
    }
    return text;
}

TEST_F(HostileInput, XmlBombsEntitiesAndDepthAreRefusedInEveryCommand) {
    initializeQor();
    const std::u16string payloads[] = {
        billionLaughs(),
        quadraticBlowUp(),
        quadraticAttributes(),
        deepNesting(),
        u"<!DOCTYPE a [<!ENTITY e SYSTEM 'file:///etc/passwd'>]><applet appletID='&e;'/>",
        u"<!DOCTYPE a SYSTEM 'http://127.0.0.1:9/dtd'><applet appletID='x'/>",
        u"<applet xmlns:xi='http://www.w3.org/2001/XInclude'><xi:include "
        u"href='file:///etc/passwd' parse='text'/></applet>",
    };
    ::testing::internal::CaptureStderr();
    for (const std::u16string& payload : payloads) {
        for (const char16_t* command :
             {u"LoadUIApplet", u"UnloadUIApplet", u"LoadBindings", u"PropertyChange"}) {
            EXPECT_THAT(send(command, payload).text,
                        ::testing::Optional(
                            ::testing::AnyOf(std::u16string(u"false"), std::u16string(u"true"))));
        }
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    for (const host::ReceivedMessage& message : core.received) {
        EXPECT_THAT(message.data, ::testing::Not(Contains16(u"root:")));
    }
    EXPECT_THAT(applets.calls, IsEmpty());
}

// The shape that held a call for seconds, small: nested elements declaring prefixes, with
// prefixed elements inside. However the white space inside the tags falls, the declarations
// count alike, so every spelling is refused when too many are in scope and read when not.
std::u16string nestedDeclarations(int elements, int perElement, const std::u16string& before,
                                  const std::u16string& after) {
    std::u16string text = u"<applet appletID='calc' appletVersion='1' instanceID='w1'>";
    for (int e = 0; e < elements; ++e) {
        text += u"<n v='>'";
        for (int p = 0; p < perElement; ++p) {
            const std::u16string prefix = u"p" + u16(std::to_string(e * perElement + p));
            text += u"\t xmlns:" + prefix + before + u"=" + after +
                    (p % 2 == 0 ? u"'urn:" + prefix + u"'" : u"\"urn:" + prefix + u"\"");
        }
        text += u"\n>";
    }
    for (int i = 0; i < 100; ++i) {
        text += u"<p0:x/>";
    }
    for (int e = 0; e < elements; ++e) {
        text += u"</n>";
    }
    return text + u"</applet>";
}

TEST_F(HostileInput, NamespaceDeclarationsCountHoweverTheWhiteSpaceFalls) {
    initializeQor();
    for (const std::u16string before : {u"", u" ", u"\t", u"\n\r\n "}) {
        for (const std::u16string after : {u"", u" ", u"\n"}) {
            ASSERT_EQ(loadApplet(u"calc", u"1", u"w1", QOR_FIXTURE_APPLET).text, u"true");
            // 3 x 22 = 66 declarations in scope: refused, the instance stays.
            EXPECT_EQ(send(u"UnloadUIApplet", nestedDeclarations(3, 22, before, after)).text,
                      u"false");
            EXPECT_EQ(send(u"UnloadUIApplet", nestedDeclarations(2, 32, before, after)).text,
                      u"true");
        }
    }
}

// A payload at each of QOR's limits is read; one unit or one element past it is refused like a
// malformed one. Names and texts are counted in UTF-16 units, so they are written with
// characters that take two and three bytes in UTF-8.
TEST_F(HostileInput, EveryPayloadLimitHoldsExactly) {
    initializeQor();
    const std::u16string open = u"<applet appletID='calc' appletVersion='1' instanceID='w1'";
    const std::u16string close = u"</applet>";
    const auto repeated = [](std::size_t count, char16_t unit) {
        return std::u16string(count, unit);
    };
    const auto attributes = [](std::size_t count, const std::u16string& name) {
        std::u16string text;
        for (std::size_t i = 0; i < count; ++i) {
            text +=
                u" " + name + u16(std::to_string(i)) + u"='urn:" + u16(std::to_string(i)) + u"'";
        }
        return text;
    };
    struct Limit {
        const char* what;
        std::size_t limit;
        std::function<std::u16string(std::size_t)> payload;
    };
    const Limit limits[] = {
        {"elements nested", xml::kMaxDepth,
         [&](std::size_t n) {
             std::u16string text = open + u">";
             for (std::size_t i = 1; i < n; ++i) {
                 text += u"<e>";
             }
             for (std::size_t i = 1; i < n; ++i) {
                 text += u"</e>";
             }
             return text + close;
         }},
        {"element name", xml::kMaxNameUnits,
         [&](std::size_t n) { return open + u"><" + repeated(n, u'\u00e9') + u"/>" + close; }},
        {"attribute name", xml::kMaxNameUnits,
         [&](std::size_t n) { return open + u" " + repeated(n, u'\u00e9') + u"='1'/>"; }},
        {"processing-instruction target", xml::kMaxNameUnits,
         [&](std::size_t n) { return open + u"><?" + repeated(n, u'\u00e9') + u"?>" + close; }},
        {"attribute value", xml::kMaxValueUnits,
         [&](std::size_t n) { return open + u" v='" + repeated(n, u'\u4e2d') + u"'/>"; }},
        {"text", xml::kMaxValueUnits,
         [&](std::size_t n) { return open + u">" + repeated(n, u'\u4e2d') + close; }},
        {"comment", xml::kMaxValueUnits,
         [&](std::size_t n) { return open + u"><!--" + repeated(n, u'\u4e2d') + u"-->" + close; }},
        {"CDATA section", xml::kMaxValueUnits,
         [&](std::size_t n) {
             return open + u"><![CDATA[" + repeated(n, u'\u4e2d') + u"]]>" + close;
         }},
        {"processing instruction", xml::kMaxValueUnits,
         [&](std::size_t n) {
             return open + u"><?pi " + repeated(n - 3, u'\u4e2d') + u"?>" + close;
         }},
        {"attributes on one element", xml::kMaxAttributesPerElement,
         [&](std::size_t n) { return open + attributes(n - 3, u"a") + u"/>"; }},
        {"namespace declarations in scope", xml::kMaxNamespacesInScope,
         [&](std::size_t n) {
             return open + u"><e xmlns='urn:d' xmlns:xml='http://www.w3.org/XML/1998/namespace'" +
                    attributes(n - 1, u"xmlns:p") + u"/>" + close;
         }},
        {"whole text", xml::kMaxTextUnits,
         [&](std::size_t n) {
             std::u16string text = open + u">";
             const std::u16string chunk = u"<e a='p'><s i='c'>x</s></e>";
             while (text.size() + chunk.size() + close.size() <= n) {
                 text += chunk;
             }
             return text + repeated(n - text.size() - close.size(), u'y') + close;
         }},
    };
    for (const Limit& limit : limits) {
        for (const std::size_t n : {limit.limit, limit.limit + 1}) {
            loadApplet(u"calc", u"1", u"w1", QOR_FIXTURE_APPLET);
            EXPECT_EQ(send(u"UnloadUIApplet", limit.payload(n)).text,
                      n == limit.limit ? u"true" : u"false")
                << n << " " << limit.what;
        }
    }
}

TEST_F(HostileInput, AFiftyMegabytePayloadIsRoutedAndParsed) {
    initializeQor();
    std::u16string big = u"<applet><CommandLineArguments><bindings><eventBindings>";
    while (big.size() < 25u * 1024 * 1024) {  // 50 MB of UTF-16
        big += u"<binding propertyName='p'><source id='c' event='e'/></binding>";
    }
    big += u"</eventBindings><propertyBindings/></bindings></CommandLineArguments></applet>";
    EXPECT_EQ(send(u"LoadBindings", big).text, u"true");
    Outgoing toCore;
    toCore.command = u"Bulk";
    toCore.data = big;
    send(toCore);
    ASSERT_FALSE(core.received.empty());
    EXPECT_EQ(core.received.back().data.size(), big.size());
}

TEST_F(HostileInput, SurrogatesAndZerosInEveryTextField) {
    initializeQor();
    ASSERT_EQ(loadApplet(u"calc", u"1", u"w1", QOR_FIXTURE_APPLET).text, u"true");
    const std::u16string nasty(
        u"a\xD800"
        u"b\xDFFF\0c",
        6);
    for (int field = 0; field < 9; ++field) {
        for (const char16_t* command : {u"LoadUIApplet", u"PropertyChange", u"ListenPropertyChange",
                                        u"LocalizeData", u"Hello"}) {
            Outgoing message;
            message.targetType = field == 0 ? nasty : u"Applet";
            message.targetID = field == 1 ? nasty : u"calc";
            message.targetVersion = field == 2 ? nasty : u"1";
            message.targetInstanceID = field == 3 ? nasty : u"w1";
            message.sourceID = field == 4 ? nasty : u"src";
            message.sourceVersion = field == 5 ? nasty : u"";
            message.sourceInstanceID = field == 6 ? nasty : u"";
            message.command = field == 7 ? nasty : command;
            message.data = field == 8 ? u"<applet appletID='" + nasty + u"'/>" : nasty;
            EXPECT_TRUE(send(message).text.has_value());
        }
    }
    // Texts are taken up to their first zero unit; surrogates travel as they are.
    Outgoing toCore;
    toCore.command = u"Raw";
    toCore.data = nasty;
    send(toCore);
    EXPECT_EQ(core.received.back().data,
              u"a\xD800"
              u"b\xDFFF");
}

TEST_F(HostileInput, LibrariesOfAnotherArchitectureAreRefusedWithTheReason) {
    initializeQor();
    const std::string foreign = copyOf(QOR_FIXTURE_APPLET, "foreign.so");
    markForeignArchitecture(foreign);
    EXPECT_EQ(loadApplet(u"foreign", u"1", u"w1", foreign).text, u"false");
    ASSERT_FALSE(core.logTexts(40).empty());
    EXPECT_THAT(core.logTexts(40).back(), Contains16(u"Load error: "));
    EXPECT_THAT(core.logTexts(40).back(), Contains16(loadFailureReasons().foreignArchitecture));
}

// The allocation of a result copy fails: null, QOR's release function in the slot, no leak.
void* failingAllocator(std::size_t) {
    return nullptr;
}

TEST(ResultAllocation, FailureGivesNullAndLeaksNothing) {
    host::RecordingCore core;
    core.onMessage = [](const host::ReceivedMessage&) { return u"a reply that is not handed on"; };
    HostContext context = core.context();
    ASSERT_EQ(::initialize(u"", &context), 0);  // QOR's own objects, linked into the tests
    setResultAllocator(failingAllocator);
    for (const char16_t* command : {u"Ping", u"LocalizeData", u"UnloadUIApplet"}) {
        Outgoing message;
        message.command = command;
        const MessageRecord record = message.record();
        ReleaseFunction slot = nullptr;
        EXPECT_EQ(::processMessage(&record, &slot), nullptr);
        EXPECT_EQ(slot, &releaseResult);
    }
    setResultAllocator(nullptr);
    EXPECT_EQ(core.outstandingReplies(), 0);
    ::finalize(nullptr);
}

}  // namespace
}  // namespace qor::test
