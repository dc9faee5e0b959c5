#pragma once

// Diagnostics a person asks for with the environment variable QOR_DEBUG: lines on standard error
// (or in the file QOR_DEBUG_FILE names; on Windows also through OutputDebugStringW), never
// through the host's log function. QOR_DEBUG is read at initialize; unset, nothing is written and
// each site costs one test of a flag. Its value names categories, separated by commas:
//   load      applet loads and unloads: every line of the applet manager, the library opened and
//             its exports or why it could not be, each applet initialize and finalize call
//   xml       the XML wrapper's reports, which go to no sink otherwise, and why a text was refused
//   messages  every message that enters processMessage (who called, the record, the answer) and
//             every call QOR makes out to Core or an applet, one line each, as name="value"
//             fields with \\ \" \n \r \t and \xHH escapes
//   all (or 1) every category; 0 or an empty value none
// Nothing here throws; a line that cannot be made is lost.

#include <cstdint>
#include <string>
#include <string_view>

#include "qor/plugin.h"

namespace qor {

enum class DebugCategory : unsigned {
    kLoad = 1U << 0U,
    kXml = 1U << 1U,
    kMessages = 1U << 2U,
};

// The categories asked for; none until initialize reads QOR_DEBUG.
extern unsigned debugCategories;

inline bool debugEnabled(DebugCategory category) {
    return (debugCategories & static_cast<unsigned>(category)) != 0;
}

// Reads QOR_DEBUG and QOR_DEBUG_FILE and sets the output up anew.
void configureDebugOutput() noexcept;

// load: a log line of the applet manager, written whether or not the host has a log function.
void debugAppletManagerLine(int32_t level, const char16_t* format, ...) noexcept;

// load: an applet's library was opened, with the entry points it has of its own.
struct DebugExports {
    bool initialize = false;
    bool processMessage = false;
    bool finalize = false;
};
void debugLibraryOpened(std::u16string_view appletID, std::u16string_view appletVersion,
                        std::u16string_view path, DebugExports exports) noexcept;

// load: an applet's library could not be opened, and why.
void debugLibraryNotOpened(std::u16string_view appletID, std::u16string_view appletVersion,
                           std::u16string_view path, std::string_view reason) noexcept;

// load: a command named an applet that is not registered.
void debugAppletNotRegistered(std::u16string_view command, std::u16string_view appletID,
                              std::u16string_view appletVersion) noexcept;

// messages: a record that is not well formed (answered "InvalidArguments").
void debugMalformedMessage(const MessageRecord* record) noexcept;

// A message in processMessage, or a call QOR makes out of itself, while it lasts: written when it
// starts and when it ends; messages that enter processMessage meanwhile are shown as the callee's.
class DebugScope {
  public:
    // A message entering processMessage.
    static DebugScope message(const MessageRecord& record) noexcept;
    // Core's sendMessage, or an applet's processMessage (the applet the record's target names).
    static DebugScope coreCall(const MessageRecord& record) noexcept;
    static DebugScope appletCall(const MessageRecord& record) noexcept;
    // An applet's initialize (for an instance, with its arguments) and finalize.
    static DebugScope appletInitialize(std::u16string_view appletID,
                                       std::u16string_view appletVersion,
                                       std::u16string_view instance,
                                       std::u16string_view arguments) noexcept;
    static DebugScope appletFinalize(std::u16string_view appletID,
                                     std::u16string_view appletVersion,
                                     const char16_t* argument) noexcept;

    DebugScope(DebugScope&& other) noexcept;
    DebugScope(const DebugScope&) = delete;
    DebugScope& operator=(const DebugScope&) = delete;
    DebugScope& operator=(DebugScope&&) = delete;
    ~DebugScope();

    // The answer (a text, or null) or the result (an integer) that ended it.
    void answered(const char16_t* answer) noexcept;
    void answered(int32_t result) noexcept;

  private:
    enum class Kind { kNone, kMessage, kCallOut };
    DebugScope() = default;
    static DebugScope callOut(std::string callee, std::string function, std::string details,
                              std::string loadLabel) noexcept;
    void end(const char* name, const std::string& value) noexcept;

    Kind kind_ = Kind::kNone;
    bool pushed_ = false;    // a callee on the diagnostics' stack, taken off at the end
    std::string fields_;     // what names it again at its end: the command, or callee and function
    std::string loadLabel_;  // for load: "slider 1.0: initialize for instance w1"
};

// Runs `call` (a call out of QOR, or the work on a message) inside a scope made by `open` when
// diagnostics are on, and writes its outcome.
template <typename Open, typename Call>
auto debugScoped(Open open, Call call) {
    if (debugCategories == 0) {
        return call();
    }
    DebugScope scope = open();
    auto outcome = call();
    scope.answered(outcome);
    return outcome;
}

}  // namespace qor
