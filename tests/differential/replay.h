#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "corpus.h"
#include "qor/plugin.h"
#include "qor_module.h"

namespace qor::differential {

// Plays corpus cases through QOR's library, loaded as a host loads it, and writes every message
// that Core and the fixture applets receive, every answer and every log line to a transcript.
//
// Core answers RegisterProperties and PropertyChange with "true", a command that starts with
// "Null" with null, and every other message with the message's own data. The fixture applet
// (tests/fixtures) answers HandlePropertyChangeFromBL with "true"; on a command "Relay:COMMAND" it
// first sends QOR, through the sendMessage QOR gave it, the message COMMAND addressed to Core with
// its own identity as the source, the data and flagC it received, and answers with QOR's reply;
// every other command it answers with the data it received. Nothing in either depends on QOR's XML
// wrapper, so both platforms answer alike.
class Replay {
  public:
    Replay(const std::string& library, std::ostream& out);
    ~Replay();
    Replay(const Replay&) = delete;
    Replay& operator=(const Replay&) = delete;

    void play(const CorpusCase& corpusCase);

  private:
    // Core's side of the host context.
    static const char16_t* coreReceives(const MessageRecord* record, ReleaseFunction* outRelease);
    static bool coreReleases(const char16_t* text);
    static void logLine(int32_t level, const char16_t* module, const char16_t* component,
                        const char16_t* reserved1, const char16_t* reserved2,
                        const char16_t* format, ...);
    // The fixture applets' hooks.
    static void appletInitializes(void* user, const char* library, const char16_t* arguments,
                                  const HostContext* context);
    static const char16_t* appletReceives(void* user, const char* library,
                                          const MessageRecord* record);
    static void appletFinalizes(void* user, const char* library, const char16_t* argument);

    // Calls QOR's finalize; the fixture applet's context ends with it.
    void finalize();
    // Sends a message through a SendFunction, writing it and the answer at the current depth.
    std::optional<std::u16string> call(SendFunction send, const char* kind,
                                       const host::OutgoingMessage& message);

    host::QorModule qor_;
    std::ostream& out_;
    int depth_ = 0;
    int coreOutstanding_ = 0;
    int coreStrayReleases_ = 0;
    SendFunction appletSend_ = nullptr;
    std::u16string appletReply_;
};

}  // namespace qor::differential
