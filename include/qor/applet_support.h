/*
 * qor/applet_support.h - what every applet otherwise writes by hand: UTF-16 texts that grow, XML
 * escaping, a reply handed back with the applet's own release function, and a message sent to
 * Core through the sendMessage that QOR put in the applet's context.
 *
 * Header only: every function is static inline, so each applet gets its own copies and links
 * nothing (its release function frees with the allocator of the applet's own C runtime). Valid
 * C11 and C++; include it after, or instead of, qor/plugin.h. The functions keep no state.
 *
 *   #include <qor/applet_support.h>
 *
 *   static SendFunction toQor;  // kept from initialize's context, which lives only for the call
 *
 *   QOR_EXPORT const char16_t* processMessage(const MessageRecord* record,
 *                                             ReleaseFunction* outRelease) {
 *       if (!qorAppletTextEquals(record->command, u"Greet")) {
 *           return qorAppletReply(u"", outRelease);
 *       }
 *       QorAppletText markup = QOR_APPLET_TEXT_INIT;
 *       qorAppletTextAppend(&markup, u"<greeting>");
 *       qorAppletTextAppendEscaped(&markup, record->data);   // "<" becomes "&lt;", ...
 *       qorAppletTextAppend(&markup, u"</greeting>");
 *       char16_t* answer = qorAppletSendToCore(toQor, u"greeter", record->targetInstanceID,
 *                                              u"Greeting", qorAppletTextGet(&markup));
 *       qorAppletTextFree(&markup);
 *       const char16_t* reply = qorAppletReply(answer != NULL ? answer : u"", outRelease);
 *       qorAppletFree(answer);
 *       return reply;
 *   }
 *
 * Memory: a function that runs out of memory returns null (qorAppletReply, qorAppletSendToCore)
 * or marks the text failed (QorAppletText); nothing aborts.
 */
#ifndef QOR_APPLET_SUPPORT_H
#define QOR_APPLET_SUPPORT_H

#include "qor/plugin.h"

#ifdef __cplusplus
#include <cstdlib>
#include <cstring>
#else
#include <stdlib.h>
#include <string.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- UTF-16 texts ---- */

/* Units before the terminator; 0 for null. */
static inline size_t qorAppletTextLength(const char16_t* text) {
    size_t length = 0;
    while (text != NULL && text[length] != 0) {
        ++length;
    }
    return length;
}

/* True when both texts hold the same units (commands, identifiers: case counts). Null reads as
 * the empty text. */
static inline bool qorAppletTextEquals(const char16_t* text, const char16_t* other) {
    const size_t length = qorAppletTextLength(text);
    return length == qorAppletTextLength(other) &&
           (length == 0 || memcmp(text, other, length * sizeof(char16_t)) == 0);
}

/* A text that grows as it is appended to. Start it with QOR_APPLET_TEXT_INIT, end it with
 * qorAppletTextFree (or hand it over with qorAppletReplyText). When memory runs out it is marked
 * failed: later appends do nothing and it reads as the empty text. */
typedef struct QorAppletText {
    char16_t* units; /* zero-terminated once anything was appended; owned */
    size_t length;
    size_t capacity; /* units allocated, the terminator included */
    bool failed;
} QorAppletText;

#define QOR_APPLET_TEXT_INIT \
    { NULL, 0, 0, false }

/* Appends `count` units. */
static inline void qorAppletTextAppendUnits(QorAppletText* text, const char16_t* units,
                                            size_t count) {
    if (text->failed || count == 0) {
        return;
    }
    if (count > (size_t)-1 / sizeof(char16_t) / 2 - text->length) {
        text->failed = true;
        return;
    }
    if (text->length + count + 1 > text->capacity) {
        size_t capacity = text->capacity < 32 ? 32 : text->capacity;
        while (capacity < text->length + count + 1) {
            capacity *= 2;
        }
        char16_t* grown = (char16_t*)realloc(text->units, capacity * sizeof(char16_t));
        if (grown == NULL) {
            text->failed = true;
            return;
        }
        text->units = grown;
        text->capacity = capacity;
    }
    memcpy(text->units + text->length, units, count * sizeof(char16_t));
    text->length += count;
    text->units[text->length] = 0;
}

/* Appends a zero-terminated text; null appends nothing. */
static inline void qorAppletTextAppend(QorAppletText* text, const char16_t* more) {
    qorAppletTextAppendUnits(text, more, qorAppletTextLength(more));
}

/* Appends a text as XML element text or attribute value: "&", "<", ">", '"' and "'" become
 * "&amp;", "&lt;", "&gt;", "&quot;" and "&apos;". Null appends nothing. (A character XML cannot
 * hold at all, such as U+0001, stays as it is: keep such characters out of payloads.) */
static inline void qorAppletTextAppendEscaped(QorAppletText* text, const char16_t* more) {
    for (size_t i = 0; more != NULL && more[i] != 0; ++i) {
        const char16_t* escape = more[i] == u'&'    ? u"&amp;"
                                 : more[i] == u'<'  ? u"&lt;"
                                 : more[i] == u'>'  ? u"&gt;"
                                 : more[i] == u'"'  ? u"&quot;"
                                 : more[i] == u'\'' ? u"&apos;"
                                                    : NULL;
        if (escape != NULL) {
            qorAppletTextAppend(text, escape);
        } else {
            qorAppletTextAppendUnits(text, more + i, 1);
        }
    }
}

/* Empties the text, keeping its memory (and clears a failure). */
static inline void qorAppletTextClear(QorAppletText* text) {
    text->length = 0;
    text->failed = false;
    if (text->units != NULL) {
        text->units[0] = 0;
    }
}

/* The text, zero-terminated; the empty text when nothing was appended or memory ran out. Valid
 * until the next append, clear or free. */
static inline const char16_t* qorAppletTextGet(const QorAppletText* text) {
    return text->units != NULL && !text->failed ? text->units : u"";
}

static inline void qorAppletTextFree(QorAppletText* text) {
    free(text->units);
    text->units = NULL;
    text->length = 0;
    text->capacity = 0;
    text->failed = false;
}

/* Frees what qorAppletSendToCore returns; null is ignored. */
static inline void qorAppletFree(void* text) {
    free(text);
}

/* ---- Replies ---- */

/* The applet's release function for the replies below: frees the text, true; false for null. */
static inline bool QOR_CALL qorAppletRelease(const char16_t* text) {
    if (text == NULL) {
        return false;
    }
    free((void*)text);
    return true;
}

/* A reply for processMessage: a fresh copy of `text` (null reads as empty), with qorAppletRelease
 * in *outRelease, so that the caller releases it with the applet's own function. Null when memory
 * runs out. */
static inline const char16_t* qorAppletReply(const char16_t* text, ReleaseFunction* outRelease) {
    const size_t bytes = (qorAppletTextLength(text) + 1) * sizeof(char16_t);
    char16_t* copy = (char16_t*)malloc(bytes);
    if (copy == NULL) {
        return NULL;
    }
    if (text != NULL) {
        memcpy(copy, text, bytes);
    } else {
        copy[0] = 0;
    }
    if (outRelease != NULL) {
        *outRelease = qorAppletRelease;
    }
    return copy;
}

/* The same, handing the text's own memory over instead of copying it; the text is empty after. */
static inline const char16_t* qorAppletReplyText(QorAppletText* text, ReleaseFunction* outRelease) {
    if (text->units == NULL || text->failed) {
        qorAppletTextFree(text);
        return qorAppletReply(u"", outRelease);
    }
    const char16_t* reply = text->units;
    text->units = NULL;
    qorAppletTextFree(text);
    if (outRelease != NULL) {
        *outRelease = qorAppletRelease;
    }
    return reply;
}

/* ---- Messages ---- */

/* A record addressed to Core, from `sourceID` (the applet's identifier) for `sourceInstanceID`
 * (the window it acts for), with every other field at its default. The record points at the
 * texts given; null reads as the empty text. */
static inline MessageRecord qorAppletMessageToCore(const char16_t* sourceID,
                                                   const char16_t* sourceInstanceID,
                                                   const char16_t* command, const char16_t* data) {
    MessageRecord record;
    memset(&record, 0, sizeof record);
    record.version = 1;
    record.targetType = u"Core";
    record.targetID = u"Core";
    record.targetVersion = u"";
    record.targetInstanceID = u"";
    record.sourceID = sourceID != NULL ? sourceID : u"";
    record.sourceVersion = u"";
    record.sourceInstanceID = sourceInstanceID != NULL ? sourceInstanceID : u"";
    record.command = command != NULL ? command : u"";
    record.data = data != NULL ? data : u"";
    record.flagB = 1;
    return record;
}

/* Sends a record through `send` (the sendMessage of the applet's context: QOR's processMessage)
 * and returns a copy of the answer, to be freed with qorAppletFree; the answer itself is released
 * at once with the function that came back with it. Null when the answer is null, when `send` is
 * null or when memory runs out. */
static inline char16_t* qorAppletSend(SendFunction send, const MessageRecord* record) {
    if (send == NULL) {
        return NULL;
    }
    ReleaseFunction release = NULL;
    const char16_t* answer = send(record, &release);
    char16_t* copy = NULL;
    if (answer != NULL) {
        const size_t bytes = (qorAppletTextLength(answer) + 1) * sizeof(char16_t);
        copy = (char16_t*)malloc(bytes);
        if (copy != NULL) {
            memcpy(copy, answer, bytes);
        }
        if (release != NULL) {
            release(answer);
        }
    }
    return copy;
}

/* Sends Core a message through `send`: the record of qorAppletMessageToCore, the answer as
 * qorAppletSend gives it. QOR handles some commands itself on the way (PropertyChange,
 * LocalizeData, GetLocaleForApplet); every other one reaches Core as it is. */
static inline char16_t* qorAppletSendToCore(SendFunction send, const char16_t* sourceID,
                                            const char16_t* sourceInstanceID,
                                            const char16_t* command, const char16_t* data) {
    const MessageRecord record = qorAppletMessageToCore(sourceID, sourceInstanceID, command, data);
    return qorAppletSend(send, &record);
}

#ifdef __cplusplus
}
#endif

#endif /* QOR_APPLET_SUPPORT_H */
