/* The LoadBindings payload around a bindings file's text. */
#include <stdarg.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "qor/host_support.h"
#include "text_buffer.h"
#include "utf8_sequence.h"

enum { kShownName = 40 };

typedef struct Check {
    const char* text;
    char** error; /* where the first finding goes; may be null */
    bool failed;
} Check;

static size_t lineAt(const char* text, size_t offset) {
    size_t line = 1;
    for (size_t i = 0; i < offset; ++i) {
        line += text[i] == '\n';
    }
    return line;
}

/* Records the first finding, as "line N: ..." when `offset` lies in the text. */
static void fail(Check* check, const size_t* offset, const char* format, ...) {
    if (check->failed) {
        return;
    }
    check->failed = true;
    if (check->error == NULL) {
        return;
    }
    char message[256];
    int length = 0;
    if (offset != NULL) {
        length = snprintf(message, sizeof message,
                          "line %lu: ", (unsigned long)lineAt(check->text, *offset));
    }
    va_list values;
    va_start(values, format);
    vsnprintf(message + length, sizeof message - (size_t)length, format, values);
    va_end(values);
    *check->error = malloc(strlen(message) + 1);
    if (*check->error != NULL) {
        strcpy(*check->error, message);
    }
}

static bool isXmlCharacter(uint32_t codePoint) {
    return codePoint == 0x9 || codePoint == 0xA || codePoint == 0xD ||
           (codePoint >= 0x20 && codePoint <= 0xD7FF) ||
           (codePoint >= 0xE000 && codePoint <= 0xFFFD) || codePoint >= 0x10000;
}

/* Every byte belongs to well-formed UTF-8 and every character is one XML can hold. */
static void checkCharacters(Check* check) {
    const unsigned char* bytes = (const unsigned char*)check->text;
    for (size_t at = 0; bytes[at] != 0 && !check->failed;) {
        const size_t length = utf8SequenceLength(bytes + at);
        if (length == 0) {
            fail(check, &at, "the text is not UTF-8 (byte 0x%02X)", bytes[at]);
        } else if (!isXmlCharacter(utf8CodePoint(bytes + at, length))) {
            fail(check, &at, "character U+%04X cannot stand in XML",
                 (unsigned)utf8CodePoint(bytes + at, length));
        }
        at += length;
    }
}

static bool startsWith(const char* text, const char* prefix) {
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

static bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

static bool endsName(char c) {
    return c == '\0' || isBlank(c) || c == '>' || c == '/' || c == '?';
}

/* Whether a name is "xml" in any case: names of processing instructions that XML reserves. */
static bool isXmlTarget(const char* name) {
    return (name[0] == 'x' || name[0] == 'X') && (name[1] == 'm' || name[1] == 'M') &&
           (name[2] == 'l' || name[2] == 'L') && endsName(name[3]);
}

/* The XML declaration at `at`, which must name UTF-8 if it names an encoding; where the text
 * goes on after it. */
static size_t skipDeclaration(Check* check, size_t at) {
    const char* end = strstr(check->text + at, "?>");
    if (end == NULL) {
        fail(check, &at, "the XML declaration is not closed with \"?>\"");
        return at;
    }
    const size_t close = (size_t)(end - check->text);
    const char* encoding = strstr(check->text + at, "encoding");
    if (encoding != NULL && encoding < end) {
        const char* value = encoding + strlen("encoding");
        while (isBlank(*value) || *value == '=') {
            ++value;
        }
        const char quote = *value;
        const char* stop = quote == '"' || quote == '\'' ? strchr(value + 1, quote) : NULL;
        const size_t length = stop != NULL && stop < end ? (size_t)(stop - value - 1) : 0;
        const bool utf8 = length == 5 && (value[1] == 'u' || value[1] == 'U') &&
                          (value[2] == 't' || value[2] == 'T') &&
                          (value[3] == 'f' || value[3] == 'F') && value[4] == '-' &&
                          value[5] == '8';
        if (!utf8) {
            fail(check, &at,
                 "the XML declaration names the encoding \"%.*s\"; the text must be UTF-8",
                 (int)(length < kShownName ? length : kShownName), value + 1);
        }
    }
    return close + 2;
}

/* Comments, processing instructions and blanks up to the root element, which must be
 * <bindings>. */
static void checkProlog(Check* check, size_t at) {
    const char* text = check->text;
    while (!check->failed) {
        while (isBlank(text[at])) {
            ++at;
        }
        if (text[at] == '\0') {
            fail(check, &at, "no <bindings> element");
        } else if (startsWith(text + at, "<!--")) {
            const char* end = strstr(text + at + 4, "-->");
            if (end == NULL) {
                fail(check, &at, "a comment is not closed with \"-->\"");
            }
            at = end != NULL ? (size_t)(end - text) + 3 : at;
        } else if (startsWith(text + at, "<?")) {
            const char* end = strstr(text + at + 2, "?>");
            if (isXmlTarget(text + at + 2)) {
                fail(check, &at, "an XML declaration (\"<?xml ...?>\") may only open the text");
            } else if (end == NULL) {
                fail(check, &at, "a processing instruction is not closed with \"?>\"");
            }
            at = end != NULL ? (size_t)(end - text) + 2 : at;
        } else if (startsWith(text + at, "<!DOCTYPE")) {
            fail(check, &at, "a document type declaration, which QOR refuses");
        } else if (text[at] == '<') {
            size_t length = 0;
            while (!endsName(text[at + 1 + length])) {
                ++length;
            }
            if (length != strlen("bindings") || !startsWith(text + at + 1, "bindings")) {
                fail(check, &at, "the root element is <%.*s>, not <bindings>",
                     (int)(length < kShownName ? length : kShownName), text + at + 1);
            }
            return;
        } else {
            fail(check, &at, "text before the <bindings> element");
        }
    }
}

/* An identifier as element text: "&", "<" and ">" escaped. */
static void appendIdentifier(Check* check, TextBuffer* out, const char* name,
                             const char16_t* value) {
    if (value == NULL) {
        fail(check, NULL, "%s is null", name);
        return;
    }
    for (const char16_t* at = value; *at != 0; ++at) {
        const bool high = *at >= 0xD800 && *at <= 0xDBFF;
        const bool paired = high && at[1] >= 0xDC00 && at[1] <= 0xDFFF;
        if ((*at >= 0xD800 && *at <= 0xDFFF && !paired) || !isXmlCharacter(*at)) {
            fail(check, NULL, "%s holds U+%04X, which XML cannot hold", name, (unsigned)*at);
            return;
        }
        if (paired) {
            textBufferAppend(out, at, 2);
            ++at;
        } else if (*at == u'&') {
            textBufferAppendAscii(out, "&amp;");
        } else if (*at == u'<') {
            textBufferAppendAscii(out, "&lt;");
        } else if (*at == u'>') {
            textBufferAppendAscii(out, "&gt;");
        } else {
            textBufferAppend(out, at, 1);
        }
    }
}

char16_t* qorLoadBindingsPayload(const char16_t* appletID, const char16_t* appletVersion,
                                 const char16_t* instanceID, const char* bindings, char** error) {
    Check check = {bindings, error, false};
    if (error != NULL) {
        *error = NULL;
    }
    TextBuffer out;
    textBufferInit(&out);
    textBufferAppendAscii(&out, "<applet><CommandLineArguments><appletID>");
    appendIdentifier(&check, &out, "appletID", appletID);
    textBufferAppendAscii(&out, "</appletID><appletVersion>");
    appendIdentifier(&check, &out, "appletVersion", appletVersion);
    textBufferAppendAscii(&out, "</appletVersion><instanceID>");
    appendIdentifier(&check, &out, "instanceID", instanceID);
    textBufferAppendAscii(&out, "</instanceID>");

    size_t body = 0;
    if (bindings == NULL) {
        fail(&check, NULL, "the bindings text is null");
    } else {
        checkCharacters(&check);
        if (startsWith(bindings, "\xEF\xBB\xBF")) {
            body = 3; /* a byte order mark */
        }
        if (!check.failed && startsWith(bindings + body, "<?xml") &&
            (isBlank(bindings[body + 5]) || bindings[body + 5] == '?')) {
            body = skipDeclaration(&check, body);
        }
        if (!check.failed) {
            checkProlog(&check, body);
        }
    }
    if (check.failed) {
        free(textBufferRelease(&out));
        return NULL;
    }
    char16_t* text = qorUtf8ToUtf16(bindings + body);
    textBufferAppendText(&out, text);
    qorFreeText(text);
    if (text == NULL) {
        out.failed = true;
    }
    textBufferAppendAscii(&out, "</CommandLineArguments></applet>");
    char16_t* payload = textBufferRelease(&out);
    if (payload == NULL) {
        fail(&check, NULL, "out of memory");
    }
    return payload;
}
