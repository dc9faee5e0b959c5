/* The public header compiled as C11: the layouts a C host or applet sees. */
#include <stddef.h>

#include "qor/plugin.h"

_Static_assert(sizeof(MessageRecord) == 88, "MessageRecord is 88 bytes");
_Static_assert(offsetof(MessageRecord, targetType) == 8, "targetType at 8");
_Static_assert(offsetof(MessageRecord, data) == 72, "data at 72");
_Static_assert(offsetof(MessageRecord, flagA) == 80, "flagA at 80");
_Static_assert(offsetof(MessageRecord, flagB) == 81, "flagB at 81");
_Static_assert(offsetof(MessageRecord, flagC) == 82, "flagC at 82");
_Static_assert(offsetof(MessageRecord, reserved) == 83, "reserved at 83");
_Static_assert(sizeof(HostContext) == 40, "HostContext is five machine words");
_Static_assert(offsetof(HostContext, sendMessage) == 8, "sendMessage is the second word");
_Static_assert(offsetof(HostContext, reserved4) == 32, "reserved4 is the fifth word");

size_t cMessageRecordSize(void) {
    return sizeof(MessageRecord);
}
size_t cMessageRecordOffsetOfCommand(void) {
    return offsetof(MessageRecord, command);
}
size_t cHostContextOffsetOfLogMessage(void) {
    return offsetof(HostContext, logMessage);
}
