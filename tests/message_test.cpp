#include <gtest/gtest.h>

#include "plugin/message.h"

namespace qor {
namespace {

TEST(Message, DefaultsLaidOutAsARecord) {
    Message message;
    const MessageRecord* record = message.toRecord();
    EXPECT_EQ(record->version, 1);
    EXPECT_EQ(std::u16string(record->targetType), u"Invalid");
    for (const char16_t* text :
         {record->targetID, record->targetVersion, record->targetInstanceID, record->sourceID,
          record->sourceVersion, record->sourceInstanceID, record->command, record->data}) {
        EXPECT_EQ(std::u16string(text), u"");
    }
    EXPECT_EQ(record->flagA, 0);
    EXPECT_EQ(record->flagB, 1);
    EXPECT_EQ(record->flagC, 0);
    EXPECT_EQ(record->reserved, 0);
}

TEST(Message, RoundTripsARecordAndRewritesItsVersion) {
    const char16_t withZero[] = u"ab\0cd";
    MessageRecord in{};
    in.version = 7;
    in.targetType = u"";
    in.targetID = u"id";
    in.targetVersion = u"1.0";
    in.targetInstanceID = u"w1";
    in.sourceID = u"src";
    in.sourceVersion = u"2";
    in.sourceInstanceID = u"s1";
    in.command = withZero;
    in.data = u"<x/>";
    in.flagA = 3;
    in.flagB = 0;
    in.flagC = 9;
    in.reserved = 5;

    Message message(in);
    EXPECT_EQ(message.targetType, u"");  // "Invalid" is only the default constructor's
    EXPECT_EQ(message.command, u"ab");   // copied up to the first zero unit

    const MessageRecord* out = message.toRecord();
    EXPECT_EQ(out->version, 1);
    EXPECT_EQ(std::u16string(out->targetID), u"id");
    EXPECT_EQ(std::u16string(out->sourceInstanceID), u"s1");
    EXPECT_EQ(std::u16string(out->data), u"<x/>");
    EXPECT_EQ(out->flagA, 3);
    EXPECT_EQ(out->flagB, 0);
    EXPECT_EQ(out->flagC, 9);
    EXPECT_EQ(out->reserved, 0);

    message.targetType = u"Applet";
    out = message.toRecord();
    EXPECT_EQ(std::u16string(out->targetType), u"Applet");
    EXPECT_EQ(std::u16string(out->targetID), u"id");
}

TEST(Message, WellFormedNeedsAllNineTexts) {
    Message message;
    MessageRecord record = *message.toRecord();
    EXPECT_TRUE(isWellFormed(&record));
    EXPECT_FALSE(isWellFormed(nullptr));
    const char16_t* MessageRecord::*fields[] = {
        &MessageRecord::targetType,       &MessageRecord::targetID, &MessageRecord::targetVersion,
        &MessageRecord::targetInstanceID, &MessageRecord::sourceID, &MessageRecord::sourceVersion,
        &MessageRecord::sourceInstanceID, &MessageRecord::command,  &MessageRecord::data};
    for (auto field : fields) {
        MessageRecord broken = record;
        broken.*field = nullptr;
        EXPECT_FALSE(isWellFormed(&broken));
    }
}

}  // namespace
}  // namespace qor
