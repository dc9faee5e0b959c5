/*
 * Reading UTF-8 one sequence at a time, for the host support functions.
 */
#ifndef QOR_HOST_SUPPORT_UTF8_SEQUENCE_H
#define QOR_HOST_SUPPORT_UTF8_SEQUENCE_H

#include <stddef.h>
#include <stdint.h>

/* The length of the well-formed UTF-8 sequence at a zero-terminated text's `bytes`, or 0 when
 * there is none (an overlong form, a surrogate, a code point above U+10FFFF, a cut sequence). */
size_t utf8SequenceLength(const unsigned char* bytes);

/* The code point of a well-formed sequence of `length` bytes. */
uint32_t utf8CodePoint(const unsigned char* bytes, size_t length);

#endif
