/*
 * Small helpers shared by the sample applets: UTF-16 texts in fixed buffers, reading an element's
 * text out of a payload, and handing replies back with the applet's own release function.
 * Real applets would use an XML library; these keep the samples free of dependencies.
 */
#ifndef QOR_SAMPLE_APPLET_H
#define QOR_SAMPLE_APPLET_H

#include <stdlib.h>
#include <string.h>

#include "qor/plugin.h"

enum { SAMPLE_TEXT_CAPACITY = 1024 };

typedef struct SampleText {
    char16_t units[SAMPLE_TEXT_CAPACITY];
    size_t length;
} SampleText;

static inline size_t sampleLength(const char16_t* text) {
    size_t length = 0;
    while (text != NULL && text[length] != 0) {
        ++length;
    }
    return length;
}

static inline void sampleClear(SampleText* text) {
    text->length = 0;
    text->units[0] = 0;
}

/* Appends what fits; a sample never needs more than its buffer. */
static inline void sampleAppend(SampleText* text, const char16_t* more) {
    for (size_t i = 0; more != NULL && more[i] != 0 && text->length + 1 < SAMPLE_TEXT_CAPACITY;
         ++i) {
        text->units[text->length++] = more[i];
    }
    text->units[text->length] = 0;
}

static inline int sampleEquals(const char16_t* text, const char16_t* other) {
    const size_t length = sampleLength(text);
    return length == sampleLength(other) && memcmp(text, other, length * sizeof(char16_t)) == 0;
}

/* The text between <name> and </name> in a payload (empty when absent). */
static inline void sampleElementText(const char16_t* xml, const char16_t* name, SampleText* out) {
    SampleText open, close;
    sampleClear(&open);
    sampleClear(&close);
    sampleClear(out);
    sampleAppend(&open, u"<");
    sampleAppend(&open, name);
    sampleAppend(&open, u">");
    sampleAppend(&close, u"</");
    sampleAppend(&close, name);
    sampleAppend(&close, u">");
    const size_t length = sampleLength(xml);
    for (size_t start = 0; start + open.length <= length; ++start) {
        if (memcmp(xml + start, open.units, open.length * sizeof(char16_t)) != 0) {
            continue;
        }
        const size_t from = start + open.length;
        for (size_t end = from; end + close.length <= length; ++end) {
            if (memcmp(xml + end, close.units, close.length * sizeof(char16_t)) == 0) {
                for (size_t i = from; i < end && out->length + 1 < SAMPLE_TEXT_CAPACITY; ++i) {
                    out->units[out->length++] = xml[i];
                }
                out->units[out->length] = 0;
                return;
            }
        }
        return;
    }
}

static bool sampleRelease(const char16_t* text) {
    if (text == NULL) {
        return false;
    }
    free((void*)text);
    return true;
}

/* A reply the caller releases with the applet's own function. */
static inline const char16_t* sampleReply(const char16_t* text, ReleaseFunction* outRelease) {
    const size_t bytes = (sampleLength(text) + 1) * sizeof(char16_t);
    char16_t* copy = malloc(bytes);
    if (copy == NULL) {
        return NULL;
    }
    memcpy(copy, text, bytes);
    if (outRelease != NULL) {
        *outRelease = sampleRelease;
    }
    return copy;
}

/* Sends QOR a message addressed to Core and keeps its reply in `reply`. */
static inline void sampleSendToCore(SendFunction send, const char16_t* sourceID,
                                    const char16_t* command, const char16_t* data,
                                    SampleText* reply) {
    MessageRecord record;
    memset(&record, 0, sizeof record);
    record.version = 1;
    record.targetType = u"Core";
    record.targetID = u"Core";
    record.targetVersion = u"";
    record.targetInstanceID = u"";
    record.sourceID = sourceID;
    record.sourceVersion = u"";
    record.sourceInstanceID = u"";
    record.command = command;
    record.data = data;
    record.flagB = 1;
    ReleaseFunction release = NULL;
    const char16_t* text = send != NULL ? send(&record, &release) : NULL;
    sampleClear(reply);
    sampleAppend(reply, text);
    if (text != NULL && release != NULL) {
        release(text);
    }
}

#endif
