// The public header compiled as C++ agrees with the C view of the same records.
#include <gtest/gtest.h>

#include <cstddef>

#include "qor/plugin.h"

extern "C" {
std::size_t cMessageRecordSize(void);
std::size_t cMessageRecordOffsetOfCommand(void);
std::size_t cHostContextOffsetOfLogMessage(void);
}

// 64-bit figures; x86 builds have the same layout in 4-byte words (44 and 20 bytes).
constexpr std::size_t kWord = sizeof(void*);
static_assert(sizeof(MessageRecord) == 11 * kWord);
static_assert(offsetof(MessageRecord, targetType) == 1 * kWord);
static_assert(offsetof(MessageRecord, data) == 9 * kWord);
static_assert(offsetof(MessageRecord, flagA) == 10 * kWord);
static_assert(offsetof(MessageRecord, reserved) == 10 * kWord + 3);
static_assert(sizeof(HostContext) == 5 * kWord);
static_assert(sizeof(void*) != 8 || sizeof(MessageRecord) == 88);
static_assert(std::is_same_v<decltype(&processMessage), SendFunction>);

TEST(HeaderLayout, CAndCppAgree) {
    EXPECT_EQ(cMessageRecordSize(), sizeof(MessageRecord));
    EXPECT_EQ(cMessageRecordOffsetOfCommand(), offsetof(MessageRecord, command));
    EXPECT_EQ(cHostContextOffsetOfLogMessage(), offsetof(HostContext, logMessage));
}
