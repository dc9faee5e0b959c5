#include "text_buffer.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

static bool reserve(TextBuffer* buffer, size_t units) {
    if (buffer->failed) {
        return false;
    }
    if (units <= buffer->capacity) {
        return true;
    }
    size_t capacity = buffer->capacity < 32 ? 32 : buffer->capacity;
    while (capacity < units) {
        if (capacity > SIZE_MAX / 2 / sizeof(char16_t)) {
            buffer->failed = true;
            return false;
        }
        capacity *= 2;
    }
    char16_t* grown = realloc(buffer->units, capacity * sizeof(char16_t));
    if (grown == NULL) {
        buffer->failed = true;
        return false;
    }
    buffer->units = grown;
    buffer->capacity = capacity;
    return true;
}

void textBufferInit(TextBuffer* buffer) {
    buffer->units = NULL;
    buffer->length = 0;
    buffer->capacity = 0;
    buffer->failed = false;
    if (reserve(buffer, 1)) {
        buffer->units[0] = 0;
    }
}

void textBufferAppend(TextBuffer* buffer, const char16_t* units, size_t count) {
    if (count > SIZE_MAX / sizeof(char16_t) - buffer->length - 1) {
        buffer->failed = true;
        return;
    }
    if (!reserve(buffer, buffer->length + count + 1)) {
        return;
    }
    memcpy(buffer->units + buffer->length, units, count * sizeof(char16_t));
    buffer->length += count;
    buffer->units[buffer->length] = 0;
}

void textBufferAppendText(TextBuffer* buffer, const char16_t* text) {
    if (text != NULL) {
        textBufferAppend(buffer, text, textLength16(text));
    }
}

void textBufferAppendAscii(TextBuffer* buffer, const char* ascii) {
    for (; *ascii != '\0'; ++ascii) {
        const char16_t unit = (char16_t)(unsigned char)*ascii;
        textBufferAppend(buffer, &unit, 1);
    }
}

char16_t* textBufferRelease(TextBuffer* buffer) {
    char16_t* units = buffer->units;
    if (buffer->failed) {
        free(units);
        units = NULL;
    }
    buffer->units = NULL;
    buffer->length = 0;
    buffer->capacity = 0;
    return units;
}

size_t textLength16(const char16_t* text) {
    size_t length = 0;
    while (text != NULL && text[length] != 0) {
        ++length;
    }
    return length;
}
