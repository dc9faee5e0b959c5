#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "outgoing_message.h"
#include "recording_core.h"

namespace qor::host {

// What a person sees of a run: every message with its direction, command, addressee and a short
// payload summary, every log line with its level, nesting shown by indentation. It also keeps the
// exchange for a Mermaid sequence diagram.
class Trace {
  public:
    Trace(std::ostream& out, bool quiet, int32_t logLevel)
        : out_(out), quiet_(quiet), logLevel_(logLevel) {}

    void hostSends(int line, const OutgoingMessage& message);
    void hostReceives(const std::optional<std::u16string>& reply);
    void coreReceives(const ReceivedMessage& message);
    void coreReplies(const ReceivedMessage& message, const std::optional<std::u16string>& reply);
    void coreSends(const OutgoingMessage& message, int depth);
    void log(const LogEntry& entry);
    void note(const std::string& text);
    void failure(const std::string& text);

    // The exchange as a Mermaid sequence diagram.
    std::string mermaid() const;

    // A payload cut to one readable line.
    static std::string summary(const std::u16string& data, std::size_t width = 72);

  private:
    void line(int depth, const std::string& text);
    void arrow(const char* from, const char* to, bool reply, const std::string& label);

    std::ostream& out_;
    bool quiet_;
    int32_t logLevel_;
    std::vector<std::string> diagram_;
};

}  // namespace qor::host
