// LocalizeData and GetLocaleForApplet reach Core's localization manager.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/qor_harness.h"

namespace qor::test {
namespace {

using ::testing::ElementsAre;

using Localization = QorHarness;

TEST_F(Localization, RequestsAreReaddressedAndAnsweredWithCoresReply) {
    initializeQor();
    core.onMessage = [](const host::ReceivedMessage& m) { return u"answer:" + m.command; };
    for (std::u16string command : {u"LocalizeData", u"GetLocaleForApplet"}) {
        Outgoing request;
        request.targetType = u"Core";
        request.targetID = u"Core";
        request.sourceID = u"calc";
        request.sourceVersion = u"2";
        request.sourceInstanceID = u"w1";
        request.command = command;
        request.data = u"<string id=\"ok\"/>";
        request.flagA = 1;
        request.flagB = 0;
        request.flagC = 1;
        EXPECT_EQ(send(request).text, u"answer:" + command);
    }
    ASSERT_EQ(core.received.size(), 2u);
    for (const host::ReceivedMessage& got : core.received) {
        EXPECT_EQ(got.targetType, u"Applet");
        EXPECT_EQ(got.targetID, u"LocManager_CoreExt");
        EXPECT_EQ(got.targetVersion, u"1.0");
        EXPECT_EQ(got.targetInstanceID, u"1");
        EXPECT_EQ(got.sourceID, u"calc");
        EXPECT_EQ(got.sourceVersion, u"2");
        EXPECT_EQ(got.sourceInstanceID, u"w1");
        EXPECT_EQ(got.data, u"<string id=\"ok\"/>");
        EXPECT_EQ(got.flagA, 1);
        EXPECT_EQ(got.flagB, 0);
        EXPECT_EQ(got.flagC, 1);
    }
    EXPECT_EQ(core.received[0].command, u"LocalizeData");
    EXPECT_EQ(core.received[1].command, u"GetLocaleForApplet");
    // Only LocalizeData logs its entry, at level 10.
    EXPECT_THAT(core.logTexts(10), ElementsAre(u"Inside LocalizeData"));
}

TEST_F(Localization, WithoutAHostTheAnswerIsEmpty) {
    EXPECT_EQ(send(u"LocalizeData", u"").text, u"");
    EXPECT_EQ(send(u"GetLocaleForApplet", u"").text, u"");
}

}  // namespace
}  // namespace qor::test
