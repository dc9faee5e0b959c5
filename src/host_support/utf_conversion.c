/* UTF-16 to UTF-8 and back; ill-formed input becomes U+FFFD. */
#include <stdlib.h>
#include <string.h>

#include "qor/host_support.h"
#include "text_buffer.h"
#include "utf8_sequence.h"

enum { kReplacement = 0xFFFD };

/* The code point starting at text[*at]; advances *at past it. */
static uint32_t nextCodePoint16(const char16_t* text, size_t* at) {
    const uint32_t unit = text[(*at)++];
    if (unit >= 0xD800 && unit <= 0xDBFF && text[*at] >= 0xDC00 && text[*at] <= 0xDFFF) {
        const uint32_t low = text[(*at)++];
        return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    return unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit;
}

static size_t utf8Length(uint32_t codePoint) {
    return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}

static char* encode(uint32_t codePoint, char* out) {
    static const unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
    const size_t length = utf8Length(codePoint);
    for (size_t i = length - 1; i > 0; --i) {
        out[i] = (char)(0x80 | (codePoint & 0x3F));
        codePoint >>= 6;
    }
    out[0] = (char)(length == 1 ? codePoint : (kLead[length] | codePoint));
    return out + length;
}

char* qorUtf16ToUtf8(const char16_t* text) {
    if (text == NULL) {
        return NULL;
    }
    size_t bytes = 0;
    for (size_t at = 0; text[at] != 0;) {
        bytes += utf8Length(nextCodePoint16(text, &at));
    }
    char* utf8 = malloc(bytes + 1);
    if (utf8 == NULL) {
        return NULL;
    }
    char* out = utf8;
    for (size_t at = 0; text[at] != 0;) {
        out = encode(nextCodePoint16(text, &at), out);
    }
    *out = '\0';
    return utf8;
}

size_t utf8SequenceLength(const unsigned char* bytes) {
    const unsigned char lead = bytes[0];
    if (lead < 0x80) {
        return 1;
    }
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes[1] < low || bytes[1] > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (bytes[i] < 0x80 || bytes[i] > 0xBF) {
            return 0;
        }
    }
    return length;
}

uint32_t utf8CodePoint(const unsigned char* bytes, size_t length) {
    static const unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    uint32_t codePoint = bytes[0] & kLeadMask[length];
    for (size_t i = 1; i < length; ++i) {
        codePoint = (codePoint << 6) | (bytes[i] & 0x3F);
    }
    return codePoint;
}

char16_t* qorUtf8ToUtf16(const char* text) {
    if (text == NULL) {
        return NULL;
    }
    const unsigned char* bytes = (const unsigned char*)text;
    const size_t length = strlen(text);
    /* Never more units than bytes. */
    char16_t* utf16 = malloc((length + 1) * sizeof(char16_t));
    if (utf16 == NULL) {
        return NULL;
    }
    size_t out = 0;
    for (size_t at = 0; at < length;) {
        const size_t sequence = utf8SequenceLength(bytes + at);
        if (sequence == 0) {
            utf16[out++] = kReplacement;
            ++at;
            continue;
        }
        uint32_t codePoint = utf8CodePoint(bytes + at, sequence);
        at += sequence;
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            utf16[out++] = (char16_t)(0xD800 + (codePoint >> 10));
            utf16[out++] = (char16_t)(0xDC00 + (codePoint & 0x3FF));
        } else {
            utf16[out++] = (char16_t)codePoint;
        }
    }
    utf16[out] = 0;
    return utf16;
}

void qorFreeText(void* text) {
    free(text);
}
