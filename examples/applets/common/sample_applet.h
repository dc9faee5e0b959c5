/*
 * What the sample applets share beyond the SDK's applet helpers: reading an element's text out
 * of a payload. Real applets would use an XML library; this keeps the samples free of
 * dependencies (it neither unescapes nor looks at nesting).
 */
#ifndef QOR_SAMPLE_APPLET_H
#define QOR_SAMPLE_APPLET_H

#include <string.h>

#include "qor/applet_support.h"

/* The text between the first <name> and the </name> after it, in `out` (empty when absent). */
static inline void sampleElementText(const char16_t* xml, const char16_t* name,
                                     QorAppletText* out) {
    QorAppletText open = QOR_APPLET_TEXT_INIT;
    QorAppletText close = QOR_APPLET_TEXT_INIT;
    qorAppletTextAppend(&open, u"<");
    qorAppletTextAppend(&open, name);
    qorAppletTextAppend(&open, u">");
    qorAppletTextAppend(&close, u"</");
    qorAppletTextAppend(&close, name);
    qorAppletTextAppend(&close, u">");
    qorAppletTextClear(out);
    const size_t length = qorAppletTextLength(xml);
    const size_t openLength = open.length;
    const size_t closeLength = close.length;
    for (size_t start = 0; !open.failed && start + openLength <= length; ++start) {
        if (memcmp(xml + start, open.units, openLength * sizeof(char16_t)) != 0) {
            continue;
        }
        const size_t from = start + openLength;
        for (size_t end = from; !close.failed && end + closeLength <= length; ++end) {
            if (memcmp(xml + end, close.units, closeLength * sizeof(char16_t)) == 0) {
                qorAppletTextAppendUnits(out, xml + from, end - from);
                break;
            }
        }
        break;
    }
    qorAppletTextFree(&open);
    qorAppletTextFree(&close);
}

#endif
