// The public header compiled as C++ agrees with the C view of the same records.
#include <gtest/gtest.h>

#include <cstddef>

#include "qor/plugin.h"

extern "C" {
std::size_t cMessageRecordSize(void);
std::size_t cMessageRecordOffsetOfCommand(void);
std::size_t cHostContextOffsetOfLogMessage(void);
}

static_assert(sizeof(MessageRecord) == 88);
static_assert(offsetof(MessageRecord, targetType) == 8);
static_assert(offsetof(MessageRecord, data) == 72);
static_assert(offsetof(MessageRecord, flagA) == 80);
static_assert(offsetof(MessageRecord, reserved) == 83);
static_assert(sizeof(HostContext) == 40);
static_assert(std::is_same_v<decltype(&processMessage), SendFunction>);

TEST(HeaderLayout, CAndCppAgree) {
    EXPECT_EQ(cMessageRecordSize(), sizeof(MessageRecord));
    EXPECT_EQ(cMessageRecordOffsetOfCommand(), offsetof(MessageRecord, command));
    EXPECT_EQ(cHostContextOffsetOfLogMessage(), offsetof(HostContext, logMessage));
}
