#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "outgoing_message.h"
#include "qor_diagnostics.h"
#include "recording_core.h"

namespace qor::host {

// How a run is shown.
struct TraceOptions {
    bool quiet = false;         // only failures
    int32_t logLevel = 0;       // log lines below this level are not shown
    bool fullPayloads = false;  // payloads whole instead of cut to one short line
};

// What a person sees of a run: every message with its direction, command, addressee, instance and
// a payload summary, every log line with its level, nesting shown by indentation. It also keeps
// the exchange for a Mermaid sequence diagram, with a participant for each applet.
//
// The host's messages and Core's are seen by the host itself; what passes between QOR and the
// applets (QOR's calls of their initialize, processMessage and finalize, and the messages they
// send QOR) comes from QOR's diagnostics. Every event must be given in the order it happened.
class Trace {
  public:
    Trace(std::ostream& out, TraceOptions options) : out_(out), options_(options) {}

    // `step` names the step: "line 12", or "step 3" where no line is known.
    void hostSends(const std::string& step, const OutgoingMessage& message);
    void hostReceives(const std::optional<std::u16string>& reply);
    void coreReceives(const ReceivedMessage& message);
    void coreReplies(const ReceivedMessage& message, const std::optional<std::u16string>& reply);
    void coreSends(const OutgoingMessage& message);
    void coreIsAnswered(const OutgoingMessage& message, const std::optional<std::u16string>& reply);
    void qor(const QorEvent& event);
    void log(const LogEntry& entry);
    void note(const std::string& text);
    void failure(const std::string& text);

    // The exchange as a Mermaid sequence diagram.
    std::string mermaid() const;

    // A payload cut to one readable line of at most `width` characters (whole when width is 0).
    static std::string summary(const std::string& data, std::size_t width = 72);

  private:
    // A call under way whose answer the trace shows: who answers, and the instance it is for.
    struct Open {
        std::string callee;  // a participant of the diagram
        std::string shown;   // how the text names it
        std::string caller;  // the participant that called
        std::string instance;
    };

    void open(const std::string& caller, const std::string& callee, const std::string& shownFrom,
              const std::string& shownTo, const std::string& what, const std::string& instance,
              const std::string& data, const std::string& step = "");
    // A message of the host's or Core's: from, to, what, instance and payload.
    template <typename Message>
    void openMessage(const std::string& from, const std::string& to, const Message& message,
                     const std::string& step = "");
    void close(const std::string& answer);
    void line(const std::string& text);
    void arrow(const std::string& from, const std::string& to, bool reply,
               const std::string& label);
    std::string payload(const std::string& data) const;
    std::string replyText(const std::optional<std::u16string>& reply) const;
    std::string participant(const std::string& appletID);

    std::ostream& out_;
    TraceOptions options_;
    std::vector<std::string> diagram_;
    std::vector<std::string> applets_;  // participants' declarations, in order of appearance
    std::vector<Open> open_;            // calls under way, innermost last
    std::vector<bool> entered_;  // messages under way in QOR's processMessage: true if an applet's
};

}  // namespace qor::host
