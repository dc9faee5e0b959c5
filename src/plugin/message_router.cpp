#include "plugin/message_router.h"

#include <memory>
#include <utility>

#include "applets/applet_list.h"
#include "applets/applet_record.h"
#include "plugin/module_state.h"
#include "plugin/result_text.h"

namespace qor {

namespace {

constexpr std::u16string_view kUndefined = u"<undefined/>";

}  // namespace

void MessageRouter::setHostWords(SendFunction sendMessage, LogFunction logMessage,
                                 uintptr_t reserved3, uintptr_t reserved4) {
    sendMessage_ = sendMessage;
    logMessage_ = logMessage;
    reserved3_ = reserved3;
    reserved4_ = reserved4;
}

std::u16string MessageRouter::route(Message& message, const MessageRecord* record,
                                    ReleaseFunction* outRelease, const char16_t** directResult) {
    if (message.targetType == u"Applet") {
        return sendToApplet(message, record, outRelease, directResult);
    }
    return sendToCore(message);
}

std::u16string MessageRouter::sendToCore(Message& message) {
    const SendFunction send = sendMessage_;
    if (send == nullptr) {
        return {};
    }
    // Core may call back in and even finalize the module: nothing of this object is used after
    // the call.
    ReleaseFunction release = nullptr;
    const char16_t* reply = send(message.toRecord(), &release);
    return takeReply(reply, release);
}

std::u16string MessageRouter::sendToApplet(Message& message, const MessageRecord* record,
                                           ReleaseFunction* outRelease,
                                           const char16_t** directResult) {
    std::shared_ptr<platform::DynamicLibrary> library;
    {
        const std::shared_ptr<AppletList> applets = moduleState().ensureAppletList();
        const std::shared_ptr<AppletRecord>& applet =
            applets->findApplet(message.targetID, message.targetVersion);
        if (applet == nullptr) {
            return sendToCore(message);
        }
        if (!applet->loaded || !applet->library) {
            return std::u16string(kUndefined);
        }
        // The pin keeps the applet's code mapped until its call returns, whatever the applet
        // does to its own registration meanwhile.
        library = applet->library->pin();
    }
    if (!library) {
        return std::u16string(kUndefined);
    }
    const auto process = reinterpret_cast<SendFunction>(library->symbol("processMessage"));
    if (process == nullptr) {
        return std::u16string(kUndefined);
    }
    if (record != nullptr && outRelease != nullptr && directResult != nullptr) {
        const char16_t* reply = process(record, outRelease);
        if (reply != nullptr && library.use_count() == 1) {
            // The applet was unloaded during its own call and leaves the process when the pin
            // goes: its text is copied and released now, while its release function still exists.
            return takeReply(reply, std::exchange(*outRelease, nullptr));
        }
        *directResult = reply;
        return std::u16string(kUndefined);
    }
    ReleaseFunction release = nullptr;
    const char16_t* reply = process(message.toRecord(), &release);
    return takeReply(reply, release);
}

}  // namespace qor
