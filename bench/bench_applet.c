/* The applet the benchmarks talk to: answers every message with a short copied text. */
#include <stdlib.h>
#include <string.h>

#include "qor/plugin.h"

static bool QOR_CALL release(const char16_t* text) {
    if (text == NULL) {
        return false;
    }
    free((void*)text);
    return true;
}

QOR_EXPORT int32_t QOR_CALL initialize(const char16_t* arguments, HostContext* context) {
    (void)arguments;
    (void)context;
    return 0;
}

QOR_EXPORT const char16_t* QOR_CALL processMessage(const MessageRecord* record,
                                                   ReleaseFunction* outRelease) {
    (void)record;
    static const char16_t reply[] = u"<ok/>";
    char16_t* copy = malloc(sizeof reply);
    if (copy == NULL) {
        return NULL;
    }
    memcpy(copy, reply, sizeof reply);
    *outRelease = release;
    return copy;
}

QOR_EXPORT int32_t QOR_CALL finalize(const char16_t* ignored) {
    (void)ignored;
    return 0;
}
