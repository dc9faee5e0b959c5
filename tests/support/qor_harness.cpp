#include "support/qor_harness.h"

namespace qor::test {

MessageRecord Outgoing::record() const {
    MessageRecord record{};
    record.version = version;
    record.targetType = targetType.c_str();
    record.targetID = targetID.c_str();
    record.targetVersion = targetVersion.c_str();
    record.targetInstanceID = targetInstanceID.c_str();
    record.sourceID = sourceID.c_str();
    record.sourceVersion = sourceVersion.c_str();
    record.sourceInstanceID = sourceInstanceID.c_str();
    record.command = command.c_str();
    record.data = data.c_str();
    record.flagA = flagA;
    record.flagB = flagB;
    record.flagC = flagC;
    return record;
}

std::u16string u16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

void QorHarness::TearDown() {
    qor.finalize();
}

void QorHarness::initializeQor() {
    HostContext context = core.context();
    ASSERT_EQ(qor.initialize(u"<arguments/>", &context), 0);
}

Reply QorHarness::send(const Outgoing& message) {
    const MessageRecord record = message.record();
    Reply reply;
    const char16_t* text = qor.processMessage(&record, &reply.release);
    if (text != nullptr) {
        reply.text = std::u16string(text);
        if (reply.release != nullptr) {
            EXPECT_TRUE(reply.release(text));
        }
    }
    return reply;
}

Reply QorHarness::send(std::u16string_view command, std::u16string_view data) {
    Outgoing message;
    message.command = command;
    message.data = data;
    return send(message);
}

}  // namespace qor::test
