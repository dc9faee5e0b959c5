/* The public header compiled as C11: the layouts a C host or applet sees. */
#include <stddef.h>

#include "qor/plugin.h"

/* In machine words (W): 64-bit builds give 88 and 40 bytes, x86 builds 44 and 20. */
#define W sizeof(void*)
_Static_assert(sizeof(MessageRecord) == 11 * W, "MessageRecord is 88 bytes (64-bit)");
_Static_assert(offsetof(MessageRecord, targetType) == 1 * W, "targetType at 8 (64-bit)");
_Static_assert(offsetof(MessageRecord, data) == 9 * W, "data at 72 (64-bit)");
_Static_assert(offsetof(MessageRecord, flagA) == 10 * W, "flagA at 80 (64-bit)");
_Static_assert(offsetof(MessageRecord, flagB) == 10 * W + 1, "flagB at 81 (64-bit)");
_Static_assert(offsetof(MessageRecord, flagC) == 10 * W + 2, "flagC at 82 (64-bit)");
_Static_assert(offsetof(MessageRecord, reserved) == 10 * W + 3, "reserved at 83 (64-bit)");
_Static_assert(sizeof(HostContext) == 5 * W, "HostContext is five machine words");
_Static_assert(offsetof(HostContext, sendMessage) == W, "sendMessage is the second word");
_Static_assert(offsetof(HostContext, reserved4) == 4 * W, "reserved4 is the fifth word");
#undef W

size_t cMessageRecordSize(void) {
    return sizeof(MessageRecord);
}
size_t cMessageRecordOffsetOfCommand(void) {
    return offsetof(MessageRecord, command);
}
size_t cHostContextOffsetOfLogMessage(void) {
    return offsetof(HostContext, logMessage);
}
