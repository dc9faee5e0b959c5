/*
 * A growable UTF-16 text for the host support functions. A failed allocation marks the buffer
 * failed; later appends do nothing, and textBufferRelease hands back null.
 */
#ifndef QOR_HOST_SUPPORT_TEXT_BUFFER_H
#define QOR_HOST_SUPPORT_TEXT_BUFFER_H

#include <stdbool.h>
#include <stddef.h>
#include <uchar.h>

typedef struct TextBuffer {
    char16_t* units; /* zero-terminated while not failed; owned */
    size_t length;
    size_t capacity; /* units allocated, the terminator included */
    bool failed;
} TextBuffer;

/* An empty text; failed when not even the terminator could be allocated. */
void textBufferInit(TextBuffer* buffer);
void textBufferAppend(TextBuffer* buffer, const char16_t* units, size_t count);
void textBufferAppendText(TextBuffer* buffer, const char16_t* text); /* null appends nothing */
void textBufferAppendAscii(TextBuffer* buffer, const char* ascii);
/* The text, to be freed by the caller; null when an allocation failed. */
char16_t* textBufferRelease(TextBuffer* buffer);

/* Units before the terminator; 0 for null. */
size_t textLength16(const char16_t* text);

#endif
