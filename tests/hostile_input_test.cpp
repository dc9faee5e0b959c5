// Input meant to hurt: nothing a host or an applet sends may crash, hang, leak or print.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "plugin/result_text.h"
#include "support/fixture_applets.h"
#include "support/test_platform.h"
#include "support/text_matchers.h"

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
