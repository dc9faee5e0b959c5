/*
 * qor/host_support.h - what every host of QOR needs beside the boundary itself: its log function
 * receives a printf-style UTF-16 format with variable arguments, its Core reads and writes UTF-16
 * texts, and it hands QOR each applet instance's bindings file in a LoadBindings payload. These
 * functions format a log call, convert texts between UTF-16 and UTF-8, and build that payload.
 *
 * Link the static library qor_host_support (CMake: qor::host_support; pkg-config:
 * qor-host-support). Valid C11 and C++. The functions keep no state and may be called from any
 * thread.
 *
 * Memory
 *   Every text these functions return is a fresh allocation that the caller owns and frees with
 *   qorFreeText, exactly once. They return null when memory runs out, and the conversions return
 *   null for a null text.
 *
 * Log formats
 *   In a format QOR passes to the log function, "%s" takes a const char16_t* (a null pointer
 *   prints "(null)"), "%d" an int32_t printed in decimal, "%x" a uint32_t printed in lower-case
 *   hexadecimal, and "%%" prints one percent sign. Any other character after "%" (and a "%" at
 *   the very end) is copied as it stands and takes no value. There are no flags, widths or
 *   precisions.
 *
 * Unicode
 *   An unpaired surrogate in UTF-16 becomes U+FFFD in UTF-8. Each byte of UTF-8 that does not
 *   belong to a well-formed sequence becomes U+FFFD in UTF-16.
 */
#ifndef QOR_HOST_SUPPORT_H
#define QOR_HOST_SUPPORT_H

#ifdef __cplusplus
#include <cstdarg>
#include <cstdint>
#else
#include <stdarg.h>
#include <stdint.h>
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The format applied to its values, as UTF-8. A null format gives the empty text. */
char* qorFormatLogText(const char16_t* format, va_list values);

/* The format applied to its values, as UTF-16. A null format gives the empty text. */
char16_t* qorFormatLogText16(const char16_t* format, va_list values);

/* A whole log call as one UTF-8 line without a line end: "<level> <module>/<component>: <text>",
 * e.g. "30 QOR/QORAppletManager: Loading Applet - slider for WindowID - w1". Null names print as
 * empty. */
char* qorFormatLogLine(int32_t level, const char16_t* module, const char16_t* component,
                       const char16_t* format, va_list values);

/* A zero-terminated UTF-16 text as UTF-8. */
char* qorUtf16ToUtf8(const char16_t* text);

/* A zero-terminated UTF-8 text as UTF-16. */
char16_t* qorUtf8ToUtf16(const char* text);

/*
 * The LoadBindings payload for one applet instance, built around the text of its bindings file:
 *
 *   <applet><CommandLineArguments><appletID>ID</appletID><appletVersion>VERSION</appletVersion>
 *   <instanceID>INSTANCE</instanceID>BINDINGS</CommandLineArguments></applet>
 *
 * The identifiers are escaped. `bindings` is the file's text as read, UTF-8; what may open a
 * document but not stand inside an element is left out: a byte order mark and the XML declaration
 * ("<?xml version="1.0" encoding="UTF-8"?>"; a text that keeps it inside the payload makes
 * LoadBindings answer "false").
 *
 * The text is checked for what would make the payload fail: bytes that are not UTF-8, characters
 * XML cannot hold, a declaration naming another encoding, a declaration anywhere but at the very
 * start, a document type declaration (QOR refuses them), a root element other than <bindings>.
 * Whether the elements inside are well formed and what LoadBindings will store of them, QOR tells
 * (QOR_DEBUG=xml), and so does "qor-host check-bindings FILE".
 *
 * Returns the payload as UTF-16, or null; then, if `error` is not null, *error is a UTF-8 text
 * saying what is wrong ("line 3: the root element is <binding>, not <bindings>"), null when memory
 * ran out. Free both with qorFreeText. A null identifier or text is an error.
 */
char16_t* qorLoadBindingsPayload(const char16_t* appletID, const char16_t* appletVersion,
                                 const char16_t* instanceID, const char* bindings, char** error);

/* Frees a text returned by any function of this header; null is ignored. */
void qorFreeText(void* text);

#ifdef __cplusplus
}
#endif

#endif /* QOR_HOST_SUPPORT_H */
