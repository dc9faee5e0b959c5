#include "support/qor_harness.h"

namespace qor::test {

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
