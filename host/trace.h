#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "outgoing_message.h"
#include "recording_core.h"

namespace qor::host {

// How a run is shown.
struct TraceOptions {
    bool quiet = false;         // only failures
    int32_t logLevel = 0;       // log lines below this level are not shown
    bool fullPayloads = false;  // payloads whole instead of cut to one short line
};

// What a person sees of a run: every message with its direction, command, addressee and a payload
// summary, every log line with its level, nesting shown by indentation. It also keeps the
// exchange for a Mermaid sequence diagram, with a participant for each applet.
class Trace {
  public:
    Trace(std::ostream& out, TraceOptions options) : out_(out), options_(options) {}

    void hostSends(int line, const OutgoingMessage& message);
    void hostReceives(const std::optional<std::u16string>& reply);
    void coreReceives(const ReceivedMessage& message);
    void coreReplies(const ReceivedMessage& message, const std::optional<std::u16string>& reply);
    void coreSends(const OutgoingMessage& message, int depth);
    void coreIsAnswered(const OutgoingMessage& message, const std::optional<std::u16string>& reply,
                        int depth);
    void log(const LogEntry& entry);
    void note(const std::string& text);
    void failure(const std::string& text);

    // The exchange as a Mermaid sequence diagram.
    std::string mermaid() const;

    // A payload cut to one readable line of at most `width` characters (whole when width is 0).
    static std::string summary(const std::u16string& data, std::size_t width = 72);

  private:
    // A message the host sent, until its reply arrives.
    struct Pending {
        OutgoingMessage message;
        std::size_t arrowIndex = 0;  // where an arrow on to an applet goes in the diagram
        bool reachedCore = false;    // the message itself was handed to Core
    };

    void line(int depth, const std::string& text);
    void arrow(const std::string& from, const std::string& to, bool reply,
               const std::string& label);
    std::string payload(const std::u16string& data) const;
    std::string replyText(const std::optional<std::u16string>& reply) const;
    std::string participant(const std::u16string& appletID);

    std::ostream& out_;
    TraceOptions options_;
    std::vector<std::string> diagram_;
    std::vector<std::string> applets_;  // participants' declarations, in order of appearance
    std::optional<Pending> pending_;
    std::vector<std::size_t> coreSendArrows_;  // where each of Core's sends under way was drawn
};

}  // namespace qor::host
