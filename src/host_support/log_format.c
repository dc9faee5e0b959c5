/* Applies the log function's printf-style UTF-16 formats. */
#include <inttypes.h>
#include <stdio.h>

#include "qor/host_support.h"
#include "text_buffer.h"

static void appendFormatted(TextBuffer* out, const char16_t* format, va_list values) {
    if (format == NULL) {
        return;
    }
    for (const char16_t* at = format; *at != 0; ++at) {
        if (*at != u'%' || at[1] == 0) {
            textBufferAppend(out, at, 1);
            continue;
        }
        char number[16];
        switch (at[1]) {
            case u's': {
                const char16_t* text = va_arg(values, const char16_t*);
                if (text != NULL) {
                    textBufferAppendText(out, text);
                } else {
                    textBufferAppendAscii(out, "(null)");
                }
                break;
            }
            case u'd':
                snprintf(number, sizeof number, "%" PRId32, va_arg(values, int32_t));
                textBufferAppendAscii(out, number);
                break;
            case u'x':
                snprintf(number, sizeof number, "%" PRIx32, va_arg(values, uint32_t));
                textBufferAppendAscii(out, number);
                break;
            case u'%':
                textBufferAppend(out, at, 1);
                break;
            default:
                textBufferAppend(out, at, 2);
                break;
        }
        ++at;
    }
}

char16_t* qorFormatLogText16(const char16_t* format, va_list values) {
    TextBuffer out;
    textBufferInit(&out);
    va_list copy;
    va_copy(copy, values);
    appendFormatted(&out, format, copy);
    va_end(copy);
    return textBufferRelease(&out);
}

char* qorFormatLogText(const char16_t* format, va_list values) {
    char16_t* text = qorFormatLogText16(format, values);
    char* utf8 = qorUtf16ToUtf8(text);
    qorFreeText(text);
    return utf8;
}

char* qorFormatLogLine(int32_t level, const char16_t* module, const char16_t* component,
                       const char16_t* format, va_list values) {
    TextBuffer line;
    textBufferInit(&line);
    char number[16];
    snprintf(number, sizeof number, "%" PRId32 " ", level);
    textBufferAppendAscii(&line, number);
    textBufferAppendText(&line, module);
    textBufferAppendAscii(&line, "/");
    textBufferAppendText(&line, component);
    textBufferAppendAscii(&line, ": ");
    va_list copy;
    va_copy(copy, values);
    appendFormatted(&line, format, copy);
    va_end(copy);
    char16_t* text = textBufferRelease(&line);
    char* utf8 = qorUtf16ToUtf8(text);
    qorFreeText(text);
    return utf8;
}
