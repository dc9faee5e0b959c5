#include "routing/message_router.h"

#include <cstddef>
#include <iterator>
#include <memory>
#include <utility>

#include "applets/applet_list.h"
#include "applets/applet_record.h"
#include "plugin/debug_output.h"
#include "plugin/module_state.h"
#include "plugin/result_text.h"

namespace qor {

namespace {

constexpr std::u16string_view kUndefined = u"<undefined/>";

// The record as QOR passes it on: the same texts, version 1, reserved byte 0.
MessageRecord produced(const MessageRecord& record) {
    MessageRecord copy = record;
    copy.version = 1;
    copy.reserved = 0;
    return copy;
}

}  // namespace

void MessageRouter::setHostWords(SendFunction sendMessage, LogFunction logMessage,
                                 uintptr_t reserved3, uintptr_t reserved4) {
    sendMessage_ = sendMessage;
    logMessage_ = logMessage;
    reserved3_ = reserved3;
    reserved4_ = reserved4;
}

bool isAppletTarget(const char16_t* targetType) {
    // Unit by unit, up to the first difference: no need to measure the caller's text first.
    static constexpr char16_t kApplet[] = u"Applet";
    for (std::size_t i = 0; i < std::size(kApplet); ++i) {
        if (targetType[i] != kApplet[i]) {
            return false;
        }
    }
    return true;
}

Reply MessageRouter::route(const MessageRecord& record, ReleaseFunction* outRelease,
                           const char16_t** directResult) {
    if (isAppletTarget(record.targetType)) {
        return sendToApplet(record, outRelease, directResult);
    }
    return sendToCore(record);
}

Reply MessageRouter::sendToCore(const MessageRecord& record) {
    ReleaseFunction release = nullptr;
    const char16_t* reply = callCore(record, &release);
    return Reply::borrowed(reply, release);
}

const char16_t* MessageRouter::callCore(const MessageRecord& record, ReleaseFunction* release) {
    *release = nullptr;
    const SendFunction send = sendMessage_;
    if (send == nullptr) {
        return nullptr;
    }
    // Core may call back in and even finalize the module: nothing of this object is used after
    // the call.
    const MessageRecord out = produced(record);
    return debugScoped([&out] { return DebugScope::coreCall(out); },
                       [&] { return send(&out, release); });
}

Reply MessageRouter::sendToApplet(const MessageRecord& record, ReleaseFunction* outRelease,
                                  const char16_t** directResult) {
    std::shared_ptr<platform::DynamicLibrary> library;
    SendFunction process = nullptr;
    {
        // Only looked at here, before any call out.
        const AppletList& applets = *ensureAppletList();
        const std::shared_ptr<AppletRecord>& applet =
            applets.findApplet(record.targetID, record.targetVersion);
        if (applet == nullptr) {
            return sendToCore(record);
        }
        if (!applet->loaded || !applet->library) {
            return Reply::constant(kUndefined);
        }
        // The pin keeps the applet's code mapped until its call returns, whatever the applet
        // does to its own registration meanwhile.
        library = applet->library->pin();
        process = applet->library->exports().processMessage;
    }
    if (!library || process == nullptr) {
        return Reply::constant(kUndefined);
    }
    if (outRelease != nullptr && directResult != nullptr) {
        const char16_t* reply = debugScoped([&] { return DebugScope::appletCall(record); },
                                            [&] { return process(&record, outRelease); });
        if (reply != nullptr && library.use_count() == 1) {
            // The applet was unloaded during its own call and leaves the process when the pin
            // goes: its text is copied and released now, while its release function still exists.
            return Reply::copied(reply, std::exchange(*outRelease, nullptr));
        }
        if (reply == nullptr) {
            return Reply::constant(kUndefined);
        }
        *directResult = reply;
        return Reply();  // the caller returns the applet's own result instead
    }
    const MessageRecord out = produced(record);
    ReleaseFunction release = nullptr;
    const char16_t* reply = debugScoped([&out] { return DebugScope::appletCall(out); },
                                        [&] { return process(&out, &release); });
    return Reply::copied(reply, release);
}

const std::shared_ptr<MessageRouter>& ensureRouter() {
    return madeOnFirstUse(moduleState().router);
}

}  // namespace qor
