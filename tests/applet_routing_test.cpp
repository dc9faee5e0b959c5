// Messages QOR does not handle itself reach loaded applets; their replies come back untouched.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fixture_control.h"
#include "support/fixture_applets.h"

namespace qor::test {
namespace {

// The fixture applet's file name, as it tells it.
std::string fixtureFileName() {
    return std::filesystem::path(QOR_FIXTURE_APPLET).filename().string();
}

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using AppletRouting = AppletHarness;

Outgoing toApplet(const std::u16string& id, const std::u16string& version,
                  const std::u16string& command) {
    Outgoing message;
    message.targetType = u"Applet";
    message.targetID = id;
    message.targetVersion = version;
    message.targetInstanceID = u"never-loaded";
    message.command = command;
    return message;
}

TEST_F(AppletRouting, PassThroughHandsBackTheAppletsOwnTextAndReleaseFunction) {
    initializeQor();
    ASSERT_EQ(loadApplet(u"calc", u"1", u"w1", QOR_FIXTURE_APPLET).text, u"true");
    const MessageRecord* seen = nullptr;
    applets.onProcessMessage = [&](const std::string&, const host::ReceivedMessage& message) {
        EXPECT_EQ(message.version, 7);  // the caller's record itself, not a copy
        return u"sum=" + message.data;
    };
    Outgoing message = toApplet(u"calc", u"1", u"Add");
    message.data = std::u16string(u"3");
    message.version = 7;
    const MessageRecord record = message.record();
    seen = &record;
    ReleaseFunction release = nullptr;
    const char16_t* text = qor.processMessage(seen, &release);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text), u"sum=3");
    EXPECT_EQ(fixtureOutstandingTexts(), 1);
    ASSERT_NE(release, nullptr);
    EXPECT_TRUE(release(text));  // the applet's own function
    EXPECT_EQ(fixtureOutstandingTexts(), 0);
    EXPECT_THAT(core.received, IsEmpty());
}

TEST_F(AppletRouting, WithoutASlotTheAppletsReplyIsCopiedAndReleased) {
    initializeQor();
    ASSERT_EQ(loadApplet(u"calc", u"1", u"w1", QOR_FIXTURE_APPLET).text, u"true");
    const Outgoing message = toApplet(u"calc", u"1", u"Add");
    const MessageRecord record = message.record();
    EXPECT_EQ(qor.processMessage(&record, nullptr), nullptr);
    EXPECT_THAT(applets.callsOf("processMessage"),
                ElementsAre("processMessage " + fixtureFileName() + " Add"));
    EXPECT_EQ(fixtureOutstandingTexts(), 0);
}

TEST_F(AppletRouting, AppletsThatCannotAnswerGiveUndefined) {
    initializeQor();
    ASSERT_EQ(loadApplet(u"calc", u"1", u"w1", QOR_FIXTURE_APPLET).text, u"true");
    ASSERT_EQ(loadApplet(u"mute", u"1", u"w1", QOR_FIXTURE_NO_PROCESS_MESSAGE).text, u"true");
    ASSERT_EQ(loadApplet(u"gone", u"1", u"w1", copyOf(QOR_FIXTURE_APPLET, "gone.so")).text,
              u"true");
    ASSERT_EQ(unloadApplet(u"gone", u"1", u"w1").text, u"true");
    applets.calls.clear();

    EXPECT_EQ(send(toApplet(u"mute", u"1", u"Hello")).text, u"<undefined/>");
    EXPECT_EQ(send(toApplet(u"gone", u"1", u"Hello")).text, u"<undefined/>");
    applets.onProcessMessage = [](const std::string&, const host::ReceivedMessage&) {
        return std::nullopt;
    };
    const Reply nullAnswer = send(toApplet(u"calc", u"1", u"Hello"));
    EXPECT_EQ(nullAnswer.text, u"<undefined/>");
    EXPECT_NE(nullAnswer.release, nullptr);  // QOR's own, for its copy
    EXPECT_THAT(applets.calls, ElementsAre("processMessage " + fixtureFileName() + " Hello"));
    EXPECT_THAT(core.received, IsEmpty());
}

TEST_F(AppletRouting, UnknownAppletsAndOtherTargetTypesReachCore) {
    initializeQor();
    ASSERT_EQ(loadApplet(u"calc", u"1", u"w1", QOR_FIXTURE_APPLET).text, u"true");
    core.onMessage = [](const host::ReceivedMessage&) { return u"core"; };
    EXPECT_EQ(send(toApplet(u"calc", u"2", u"Hello")).text, u"core");
    Outgoing lowerCase = toApplet(u"calc", u"1", u"Hello");
    lowerCase.targetType = u"applet";
    EXPECT_EQ(send(lowerCase).text, u"core");
    ASSERT_EQ(core.received.size(), 2u);
    EXPECT_EQ(core.received[0].targetType, u"Applet");
    EXPECT_THAT(applets.callsOf("processMessage"), IsEmpty());
}

TEST_F(AppletRouting, TableCommandsAreNeverPassedToApplets) {
    initializeQor();
    ASSERT_EQ(loadApplet(u"LocManager_CoreExt", u"1.0", u"1", QOR_FIXTURE_APPLET).text, u"true");
    Outgoing localize = toApplet(u"LocManager_CoreExt", u"1.0", u"LocalizeData");
    core.onMessage = [](const host::ReceivedMessage&) { return u"localized"; };
    EXPECT_EQ(send(localize).text, u"localized");
    Outgoing load = toApplet(u"LocManager_CoreExt", u"1.0", u"LoadUIApplet");
    load.data = appletPayload(u"LocManager_CoreExt", u"1.0", u"2");
    EXPECT_EQ(send(load).text, u"true");  // QOR's own handler: a second instance
    EXPECT_THAT(applets.callsOf("processMessage"), IsEmpty());
}

}  // namespace
}  // namespace qor::test
