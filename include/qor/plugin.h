/*
 * qor/plugin.h - the plug-in boundary of QOR.
 *
 * QOR is a message broker loaded by a host application as a shared library (libqor.so, or
 * qor.dll on Windows). It stands between the host's business logic ("Core") and UI applets, which
 * are shared libraries with the same three exports as QOR itself. This header is all a host or an
 * applet needs: plain records, function types and the three entry points. It is valid C11 and C++.
 *
 * Texts
 *   Every text that crosses the boundary is a zero-terminated string of UTF-16 code units in
 *   native byte order (char16_t). An empty text is a pointer to a single zero unit, never null.
 *   Identifiers, versions, instance identifiers and command names are compared exactly: same
 *   length, same code units, case significant, nothing trimmed.
 *
 * Threads
 *   QOR takes no locks. Call one entry point at a time. Calls may nest on the same thread: while
 *   QOR waits for Core's sendMessage or for an applet's processMessage, initialize or finalize,
 *   that party may call processMessage again. At most 64 processMessage calls may be under way
 *   on one thread at once: the call past that is answered as a malformed call ("InvalidArguments",
 *   a null slot) and QOR logs a level-40 line saying so, so that applets answering each other's
 *   messages forever cannot overflow the stack.
 *
 * Applets
 *   An applet's initialize, processMessage and finalize count only when the applet's library
 *   defines them itself, as code: a name only a dependency exports, or one that lies in data, is
 *   missing. QOR's own library, or a copy of it under any name, is never loaded as an applet: it
 *   carries an identity (with the version below) that QOR reads from the file before loading it.
 */
#ifndef QOR_PLUGIN_H
#define QOR_PLUGIN_H

#ifdef __cplusplus
#include <cstdint>
#else
#include <stdbool.h>
#include <stdint.h>
#include <uchar.h>
#endif

/* The version of this header and of the QOR library built with it (the project's only record of
 * its version). A QOR library carries the same three numbers in an identity that can be read from
 * its file without running any of its code: `qor-host --version` shows it. */
#define QOR_VERSION_MAJOR 0
#define QOR_VERSION_MINOR 1
#define QOR_VERSION_PATCH 0

/* Marks the three entry points as exports of the library that defines them: QOR's own and every
 * applet's. On Windows they are DLL exports, elsewhere symbols of default visibility. */
#if defined(_WIN32)
#define QOR_EXPORT __declspec(dllexport)
#elif defined(__GNUC__)
#define QOR_EXPORT __attribute__((visibility("default")))
#else
#define QOR_EXPORT
#endif

/* The calling convention of the three entry points and of every callback type below. On 32-bit
 * x86 the caller cleans the stack (cdecl), whatever the compiler's default: a host or applet built
 * with a callee-pops default (MSVC /Gz, gcc -mrtd) still matches QOR as long as it spells QOR_CALL
 * in its own definitions of these functions. Elsewhere there is one convention and it is empty. */
#if defined(_WIN32) && !defined(_WIN64)
#define QOR_CALL __cdecl
#elif defined(__i386__) && defined(__GNUC__)
#define QOR_CALL __attribute__((cdecl))
#else
#define QOR_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * One message: nine texts and three byte flags, passed by pointer and valid only for the duration
 * of the call that carries it. The receiver never modifies a record it receives and keeps no
 * pointer into it after the call returns. A record is well formed when all nine text pointers are
 * non-null. LP64 layout: 88 bytes, targetType at 8, data at 72, flags at 80, 81 and 82.
 */
typedef struct MessageRecord {
    /* QOR writes 1 into every record it produces and never reads this field. */
    int32_t version;
    /* Kind of addressee: "Applet" sends the message towards the applet named by targetID and
     * targetVersion; any other value (also "Core", "" and "Invalid") sends it to Core. */
    const char16_t* targetType;
    /* Identifier of the addressee: an applet's identifier, "Core", or "LocManager_CoreExt" for
     * Core's localization manager. With targetVersion, the key by which QOR finds an applet. */
    const char16_t* targetID;
    /* Version of the addressee. */
    const char16_t* targetVersion;
    /* Instance (window) of the addressee. Routing ignores it; ListenPropertyChange uses it. */
    const char16_t* targetInstanceID;
    /* Identifier of the sender; "QOR" in every message QOR composes itself. */
    const char16_t* sourceID;
    /* Carried unchanged; QOR neither reads nor sets it. */
    const char16_t* sourceVersion;
    /* Carried unchanged; QOR neither reads nor sets it. */
    const char16_t* sourceInstanceID;
    /* Name of the operation, e.g. "LoadUIApplet". Seven commands are QOR's own; every other
     * command is passed on to an applet or to Core. */
    const char16_t* command;
    /* Payload: an XML text, or empty. */
    const char16_t* data;
    /* 0 by default; QOR writes 0 in every message it composes. */
    uint8_t flagA;
    /* 1 by default; QOR never changes it. */
    uint8_t flagB;
    /* 0 by default; copied from a PropertyChange into the message QOR sends Core for it. */
    uint8_t flagC;
    /* 0 in every record QOR produces. */
    uint8_t reserved;
} MessageRecord;

/*
 * Releases a result text. Called exactly once, by the receiver of the text, with the pointer that
 * came back. Returns true when a text was freed; QOR's own function returns false for null.
 */
typedef bool(QOR_CALL* ReleaseFunction)(const char16_t* text);

/*
 * Delivers a message and answers with a result text.
 *   record      the message; valid only during the call.
 *   outRelease  a slot the callee fills: with a release function the caller must call once with
 *               the returned pointer, or with null for a static text that is never released.
 *               QOR sets the slot to null before it calls Core, so Core may leave it untouched
 *               for a static text. A message passed through to an applet carries its sender's
 *               own slot: applets always write it.
 * Returns the result text, or null. processMessage itself is a SendFunction.
 */
typedef const char16_t*(QOR_CALL* SendFunction)(const MessageRecord* record,
                                                ReleaseFunction* outRelease);

/*
 * Writes one log line. QOR passes: level (10 LocalizeData entry, 20 an applet registered twice,
 * 30 progress, 40 refusals and failures), module "QOR", component "QOR" or "QORAppletManager",
 * two empty texts, a printf-style format and its values. In the format, %s takes a
 * const char16_t*, %d an int32_t and %x a uint32_t.
 */
typedef void(QOR_CALL* LogFunction)(int32_t level, const char16_t* module,
                                    const char16_t* component, const char16_t* reserved1,
                                    const char16_t* reserved2, const char16_t* format, ...);

/*
 * The callbacks through which a host and the module it loads reach each other: five machine words.
 * initialize copies what it needs, so the caller may reuse the record as soon as initialize
 * returns. The context QOR gives an applet lives only for the applet's initialize call.
 * LP64 layout: 40 bytes.
 */
typedef struct HostContext {
    /* Neither read nor written by QOR. In the contexts QOR gives applets it is 0. */
    uintptr_t reserved0;
    /* Delivers a message to the party that made the context: Core in the host's context, QOR's
     * own processMessage in an applet's context. May be null: every message for Core is then
     * answered with the empty text. */
    SendFunction sendMessage;
    /* Writes a log line. May be null: QOR then logs nothing. */
    LogFunction logMessage;
    /* Kept by QOR, never used. 0 in the contexts QOR gives applets. */
    uintptr_t reserved3;
    /* Kept by QOR, never used. 0 in the contexts QOR gives applets. */
    uintptr_t reserved4;
} HostContext;

/* The types of initialize and finalize, for a host or a loader that looks the entry points up at
 * run time (dlsym, GetProcAddress); processMessage is a SendFunction. */
typedef int32_t(QOR_CALL* InitializeFunction)(const char16_t* arguments, HostContext* context);
typedef int32_t(QOR_CALL* FinalizeFunction)(const char16_t* ignored);

/*
 * UI applets are shared libraries that export the same three entry points. How QOR treats them:
 *   - Only an applet library's own exports count. A name that only one of its dependencies
 *     exports (a library of the applet's, or QOR itself when the applet links libqor) is missing,
 *     with the usual outcome: without initialize the applet is loaded but not initialised; without
 *     processMessage every message to it is answered "<undefined/>" (a level-40 line at load
 *     says so); without finalize its library is unloaded without that call.
 *   - QOR's own library is never an applet: a LoadUIApplet whose appletPath names it (by any
 *     path, a symlink or a bare name) fails like a library that cannot be loaded, and none of
 *     QOR's functions is called for it.
 *   - initialize is called when the applet's first instance is loaded; finalize when its last
 *     instance is unloaded (with an empty text) or when QOR's finalize unloads it (with null).
 *     The library is unmapped right after its finalize returns, or, while the applet's own code
 *     is still on the stack (an applet that unloads itself), when that outermost call returns.
 *   - A library whose finalize has not been called is never unmapped. One that QOR cannot
 *     finalize (an applet loaded with an empty appletID, a host that unloads QOR without calling
 *     its finalize, process exit) stays in the process, so a thread it started keeps its code.
 *   - While an applet's library is being unloaded (its finalize may be running), a LoadUIApplet
 *     for that applet is answered "false" (a level-40 line says why); load it again once the
 *     unload has returned, and initialize is called anew. An unloaded applet has no instances.
 */

/*
 * Starts QOR: takes the host's callbacks from context and logs "QOR Initialized".
 *   arguments  the host's argument document; not read.
 *   context    the host's callbacks; copied.
 * Returns 0, or 1 (and changes nothing) when context is null. A second call replaces the
 * callbacks and keeps the loaded applets. Each call also reads the environment variables
 * QOR_DEBUG and QOR_DEBUG_FILE: diagnostics a person asks for, written to standard error or that
 * file (on Windows also to the debugger), never through the log function; unset, QOR writes
 * nothing of the kind (docs/diagnostics.md).
 */
QOR_EXPORT int32_t QOR_CALL initialize(const char16_t* arguments, HostContext* context);

/*
 * Handles one message. QOR runs its own seven commands (LoadUIApplet, UnloadUIApplet,
 * LoadBindings, PropertyChange, ListenPropertyChange, LocalizeData, GetLocaleForApplet) and passes
 * every other message to the applet it names or to Core.
 *
 * Results:
 *   - A malformed record (null, or a null text pointer) gives the static text "InvalidArguments"
 *     and a null slot (when outRelease is non-null); never release it. So does a call nested
 *     more than 64 deep on one thread (see Threads above).
 *   - A message passed through to an applet gives exactly the applet's own pointer and whatever
 *     release function the applet wrote into *outRelease. Only if the applet was unloaded during
 *     that very call (its code leaves the process as the call returns) does QOR copy the text,
 *     release it at once and hand back its own copy and release function.
 *   - Any other result is a fresh copy owned by the caller, with QOR's release function in the
 *     slot; call it once with the pointer. If the copy cannot be allocated, the result is null.
 *   - A well-formed record with a null outRelease is processed, and the result is null: no text
 *     can be handed over without its release function.
 */
QOR_EXPORT const char16_t* QOR_CALL processMessage(const MessageRecord* record,
                                                   ReleaseFunction* outRelease);

/*
 * Stops QOR: logs "QOR finalize called", unloads every applet (calling its finalize) and drops
 * all bindings. Always returns 0. The argument is ignored and may be null.
 */
QOR_EXPORT int32_t QOR_CALL finalize(const char16_t* ignored);

#ifdef __cplusplus
}
#endif

#endif /* QOR_PLUGIN_H */
