#include "recording_core.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "log_format.h"

namespace qor::host {

namespace {

RecordingCore* current = nullptr;

std::u16string textOrEmpty(const char16_t* text) {
    return text != nullptr ? text : u"";
}

}  // namespace

ReceivedMessage ReceivedMessage::from(const MessageRecord& record) {
    ReceivedMessage message;
    message.version = record.version;
    message.targetType = textOrEmpty(record.targetType);
    message.targetID = textOrEmpty(record.targetID);
    message.targetVersion = textOrEmpty(record.targetVersion);
    message.targetInstanceID = textOrEmpty(record.targetInstanceID);
    message.sourceID = textOrEmpty(record.sourceID);
    message.sourceVersion = textOrEmpty(record.sourceVersion);
    message.sourceInstanceID = textOrEmpty(record.sourceInstanceID);
    message.command = textOrEmpty(record.command);
    message.data = textOrEmpty(record.data);
    message.flagA = record.flagA;
    message.flagB = record.flagB;
    message.flagC = record.flagC;
    message.reserved = record.reserved;
    return message;
}

RecordingCore::RecordingCore() {
    if (current != nullptr) {
        throw std::logic_error("only one RecordingCore at a time");
    }
    current = this;
}

RecordingCore::~RecordingCore() {
    current = nullptr;
}

HostContext RecordingCore::context() const {
    HostContext context{};
    context.sendMessage = &RecordingCore::sendMessage;
    context.logMessage = &RecordingCore::log;
    return context;
}

std::vector<std::u16string> RecordingCore::logTexts(int32_t level) const {
    std::vector<std::u16string> texts;
    for (const LogEntry& entry : logs) {
        if (level == 0 || entry.level == level) {
            texts.push_back(entry.text);
        }
    }
    return texts;
}

std::vector<ReceivedMessage> RecordingCore::messagesWithCommand(std::u16string_view command) const {
    std::vector<ReceivedMessage> found;
    for (const ReceivedMessage& message : received) {
        if (message.command == command) {
            found.push_back(message);
        }
    }
    return found;
}

const char16_t* QOR_CALL RecordingCore::sendMessage(const MessageRecord* record,
                                                    ReleaseFunction* outRelease) {
    RecordingCore& core = *current;
    ReceivedMessage message = ReceivedMessage::from(*record);
    message.depth = core.depth_;
    core.received.push_back(message);
    if (core.onReceive) {
        core.onReceive(message);
    }

    ++core.depth_;
    std::optional<std::u16string> reply =
        core.onMessage ? core.onMessage(message) : std::optional<std::u16string>(u"");
    --core.depth_;
    if (core.onReply) {
        core.onReply(message, reply);
    }

    if (!reply) {
        *outRelease = nullptr;
        return nullptr;
    }
    if (core.ownership == ReplyOwnership::kStatic) {
        *outRelease = nullptr;
        return core.staticReplies_.emplace_back(std::move(*reply)).c_str();
    }
    const std::size_t bytes = (reply->size() + 1) * sizeof(char16_t);
    auto* copy = static_cast<char16_t*>(std::malloc(bytes));
    std::memcpy(copy, reply->c_str(), bytes);
    ++core.outstanding_;
    *outRelease = &RecordingCore::releaseReply;
    return copy;
}

bool QOR_CALL RecordingCore::releaseReply(const char16_t* text) {
    if (text == nullptr) {
        ++current->stray_;
        return false;
    }
    --current->outstanding_;
    std::free(const_cast<char16_t*>(text));
    return true;
}

void QOR_CALL RecordingCore::log(int32_t level, const char16_t* module, const char16_t* component,
                                 const char16_t* reserved1, const char16_t* reserved2,
                                 const char16_t* format, ...) {
    va_list values;
    va_start(values, format);
    LogEntry entry{level,
                   textOrEmpty(module),
                   textOrEmpty(component),
                   textOrEmpty(reserved1),
                   textOrEmpty(reserved2),
                   formatLogLine(format, values),
                   current != nullptr ? current->depth_ : 0};
    va_end(values);
    if (current != nullptr) {
        current->logs.push_back(entry);
        if (current->onLog) {
            current->onLog(entry);
        }
    }
}

}  // namespace qor::host
