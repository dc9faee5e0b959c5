/* The smallest useful applet: answers every message with its own payload. */
#include <stdlib.h>
#include <string.h>

#include <qor/plugin.h>

static bool release(const char16_t* text) {
    if (text == NULL) {
        return false;
    }
    free((void*)text);
    return true;
}

QOR_EXPORT int32_t initialize(const char16_t* arguments, HostContext* context) {
    (void)arguments;
    (void)context;
    return 0;
}

QOR_EXPORT const char16_t* processMessage(const MessageRecord* record,
                                          ReleaseFunction* outRelease) {
    size_t units = 0;
    while (record->data[units] != 0) {
        ++units;
    }
    char16_t* copy = malloc((units + 1) * sizeof(char16_t));
    if (copy == NULL) {
        return NULL;
    }
    memcpy(copy, record->data, (units + 1) * sizeof(char16_t));
    *outRelease = release;
    return copy;
}

QOR_EXPORT int32_t finalize(const char16_t* ignored) {
    (void)ignored;
    return 0;
}
