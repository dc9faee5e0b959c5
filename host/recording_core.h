#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "qor/plugin.h"

namespace qor::host {

// A message as it reached Core: owned copies of the record's fields.
struct ReceivedMessage {
    int32_t version = 0;
    std::u16string targetType, targetID, targetVersion, targetInstanceID;
    std::u16string sourceID, sourceVersion, sourceInstanceID;
    std::u16string command, data;
    uint8_t flagA = 0, flagB = 0, flagC = 0, reserved = 0;
    // How many calls of Core's sendMessage were under way when this one arrived.
    int depth = 0;

    static ReceivedMessage from(const MessageRecord& record);
};

// One call of the host's log function, with its format applied.
struct LogEntry {
    int32_t level = 0;
    std::u16string module, component, reserved1, reserved2, text;
    // How many calls of Core's sendMessage were under way when it was written.
    int depth = 0;
};

// A Core that records every message and log line it receives and answers as it is told. The C
// callbacks it hands out reach the one RecordingCore alive at the time.
class RecordingCore {
  public:
    // How Core hands its replies back.
    enum class ReplyOwnership {
        kReleaseFunction,  // a fresh copy with Core's release function in the slot
        kStatic,           // a text Core keeps, with a null slot
    };

    RecordingCore();
    ~RecordingCore();
    RecordingCore(const RecordingCore&) = delete;
    RecordingCore& operator=(const RecordingCore&) = delete;

    // The context to give QOR's initialize: Core's sendMessage and log function.
    HostContext context() const;

    // Decides Core's reply to a message; nullopt answers with a null pointer. Without it, Core
    // answers every message with the empty text.
    std::function<std::optional<std::u16string>(const ReceivedMessage&)> onMessage;
    ReplyOwnership ownership = ReplyOwnership::kReleaseFunction;

    // Observers, called as things happen: a message reaching Core, Core's reply to it, a log line.
    std::function<void(const ReceivedMessage&)> onReceive;
    std::function<void(const ReceivedMessage&, const std::optional<std::u16string>&)> onReply;
    std::function<void(const LogEntry&)> onLog;

    std::vector<ReceivedMessage> received;
    std::vector<LogEntry> logs;

    // How many calls of Core's sendMessage are under way.
    int depth() const { return depth_; }
    // Replies handed out with Core's release function and not yet released.
    int outstandingReplies() const { return outstanding_; }
    // Calls of Core's release function that named no text Core handed out.
    int strayReleases() const { return stray_; }

    // The log lines' texts at a level, or at any level when level is 0.
    std::vector<std::u16string> logTexts(int32_t level = 0) const;
    // The messages that reached Core with a command.
    std::vector<ReceivedMessage> messagesWithCommand(std::u16string_view command) const;

  private:
    static const char16_t* QOR_CALL sendMessage(const MessageRecord* record,
                                                ReleaseFunction* outRelease);
    static bool QOR_CALL releaseReply(const char16_t* text);
    static void QOR_CALL log(int32_t level, const char16_t* module, const char16_t* component,
                             const char16_t* reserved1, const char16_t* reserved2,
                             const char16_t* format, ...);

    int depth_ = 0;
    int outstanding_ = 0;
    int stray_ = 0;
    std::deque<std::u16string> staticReplies_;
};

}  // namespace qor::host
