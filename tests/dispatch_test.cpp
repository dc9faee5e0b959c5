// processMessage: record checks, result ownership, routing to Core and nesting.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/qor_harness.h"

namespace qor::test {
namespace {

using ::testing::IsEmpty;

using Dispatch = QorHarness;

const char16_t* MessageRecord::*const kTextFields[] = {
    &MessageRecord::targetType,       &MessageRecord::targetID, &MessageRecord::targetVersion,
    &MessageRecord::targetInstanceID, &MessageRecord::sourceID, &MessageRecord::sourceVersion,
    &MessageRecord::sourceInstanceID, &MessageRecord::command,  &MessageRecord::data};

bool notCalled(const char16_t*) {
    return true;
}

TEST_F(Dispatch, MalformedRecordsGetTheStaticInvalidArguments) {
    initializeQor();
    const Outgoing good;
    for (auto field : kTextFields) {
        MessageRecord record = good.record();
        record.*field = nullptr;
        ReleaseFunction slot = &notCalled;
        EXPECT_EQ(std::u16string(qor.processMessage(&record, &slot)), u"InvalidArguments");
        EXPECT_EQ(slot, nullptr);
        EXPECT_EQ(std::u16string(qor.processMessage(&record, nullptr)), u"InvalidArguments");
    }
    ReleaseFunction slot = &notCalled;
    EXPECT_EQ(std::u16string(qor.processMessage(nullptr, &slot)), u"InvalidArguments");
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(std::u16string(qor.processMessage(nullptr, nullptr)), u"InvalidArguments");
    EXPECT_THAT(core.received, IsEmpty());
    EXPECT_EQ(core.logTexts().size(), 1u);  // only "QOR Initialized"
}

TEST_F(Dispatch, CoreRepliesComeBackAsFreshCopiesWithQorsReleaseFunction) {
    initializeQor();
    core.onMessage = [](const host::ReceivedMessage& m) { return u"re:" + m.command; };
    const Reply reply = send(u"Ping", u"<p/>");
    EXPECT_EQ(reply.text, u"re:Ping");
    ASSERT_NE(reply.release, nullptr);
    EXPECT_FALSE(reply.release(nullptr));
    // Core's own reply text was released once, with Core's function.
    EXPECT_EQ(core.outstandingReplies(), 0);
    EXPECT_EQ(core.strayReleases(), 0);
}

TEST_F(Dispatch, MessagesReachCoreUnchangedWhateverTheirVersion) {
    initializeQor();
    for (int32_t version : {0, 1, 7}) {
        Outgoing message;
        message.version = version;
        message.targetType = u"core";  // not "Applet": Core, whatever the case
        message.targetID = u"X";
        message.sourceInstanceID = u"s";
        message.command = u"loaduiapplet";  // not a table command: matched exactly
        message.data = u"<d/>";
        message.flagA = 2;
        message.flagB = 3;
        message.flagC = 4;
        send(message);
    }
    ASSERT_EQ(core.received.size(), 3u);
    for (const host::ReceivedMessage& got : core.received) {
        EXPECT_EQ(got.version, 1);
        EXPECT_EQ(got.targetType, u"core");
        EXPECT_EQ(got.targetID, u"X");
        EXPECT_EQ(got.sourceInstanceID, u"s");
        EXPECT_EQ(got.command, u"loaduiapplet");
        EXPECT_EQ(got.data, u"<d/>");
        EXPECT_EQ(got.flagA, 2);
        EXPECT_EQ(got.flagB, 3);
        EXPECT_EQ(got.flagC, 4);
        EXPECT_EQ(got.reserved, 0);
    }
}

TEST_F(Dispatch, NullAndStaticCoreRepliesAreHandledWithoutReleasing) {
    initializeQor();
    core.onMessage = [](const host::ReceivedMessage&) { return std::nullopt; };
    EXPECT_EQ(send(u"Ping", u"").text, u"");
    core.onMessage = [](const host::ReceivedMessage&) { return u"kept"; };
    core.ownership = host::RecordingCore::ReplyOwnership::kStatic;
    EXPECT_EQ(send(u"Ping", u"").text, u"kept");
    EXPECT_EQ(core.strayReleases(), 0);
}

TEST_F(Dispatch, EmptyResultIsAOneUnitAllocation) {
    initializeQor();
    const Outgoing message;
    const MessageRecord record = message.record();
    ReleaseFunction slot = nullptr;
    const char16_t* text = qor.processMessage(&record, &slot);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text[0], u'\0');
    EXPECT_TRUE(slot(text));
}

TEST_F(Dispatch, WellFormedRecordWithoutSlotIsProcessedAndAnswersNull) {
    initializeQor();
    core.onMessage = [](const host::ReceivedMessage&) { return u"lost"; };
    const Outgoing message;
    const MessageRecord record = message.record();
    EXPECT_EQ(qor.processMessage(&record, nullptr), nullptr);
    EXPECT_EQ(core.received.size(), 1u);
    EXPECT_EQ(core.outstandingReplies(), 0);
}

TEST_F(Dispatch, CoreMayCallBackInWhileItIsBeingCalled) {
    initializeQor();
    const SendFunction reenter = qor.processMessageFunction();
    core.onMessage = [reenter](const host::ReceivedMessage& m) -> std::optional<std::u16string> {
        if (m.command == u"Outer") {
            Outgoing inner;
            inner.command = u"Inner";
            const MessageRecord record = inner.record();
            ReleaseFunction slot = nullptr;
            const char16_t* text = reenter(&record, &slot);
            std::u16string innerReply = text;
            slot(text);
            return u"outer(" + innerReply + u")";
        }
        return u"inner";
    };
    EXPECT_EQ(send(u"Outer", u"").text, u"outer(inner)");
    ASSERT_EQ(core.received.size(), 2u);
    EXPECT_EQ(core.received[1].command, u"Inner");
    EXPECT_EQ(core.received[1].depth, 1);
    EXPECT_EQ(core.outstandingReplies(), 0);
}

TEST_F(Dispatch, MessageForAnUnregisteredAppletGoesToCoreAsItIs) {
    initializeQor();
    Outgoing message;
    message.targetType = u"Applet";
    message.targetID = u"nobody";
    message.targetVersion = u"1";
    send(message);
    ASSERT_EQ(core.received.size(), 1u);
    EXPECT_EQ(core.received[0].targetType, u"Applet");
    EXPECT_EQ(core.received[0].targetID, u"nobody");
}

}  // namespace
}  // namespace qor::test
