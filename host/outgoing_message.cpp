#include "outgoing_message.h"

namespace qor::host {

std::optional<std::u16string> sendMessage(SendFunction send, const OutgoingMessage& message) {
    const MessageRecord record = message.record();
    ReleaseFunction release = nullptr;
    const char16_t* text = send(&record, &release);
    if (text == nullptr) {
        return std::nullopt;
    }
    std::u16string reply(text);
    if (release != nullptr) {
        release(text);
    }
    return reply;
}

}  // namespace qor::host
