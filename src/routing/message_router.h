#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "plugin/reply.h"
#include "qor/plugin.h"

namespace qor {

// True when a record's targetType is exactly "Applet".
bool isAppletTarget(const char16_t* targetType);

// Delivers the messages QOR does not handle itself: to Core through the host's sendMessage, or to
// a loaded applet's processMessage. Holds the four words initialize copies from the host's
// context; only sendMessage is used. Nothing of the router is used after a call out, so a nested
// finalize may destroy it while it waits.
class MessageRouter {
  public:
    void setHostWords(SendFunction sendMessage, LogFunction logMessage, uintptr_t reserved3,
                      uintptr_t reserved4);

    // Sends a message whose targetType is "Applet" towards that applet, every other message to
    // Core. With `outRelease` and `directResult` (a caller's own message), a message for a loaded
    // applet is passed through untouched: the applet's processMessage gets the caller's record
    // and slot, *directResult its result, and the text returned here is not used. Without
    // them (a message QOR composed), an applet's reply is copied and released at once, while its
    // code is surely mapped.
    Reply route(const MessageRecord& record, ReleaseFunction* outRelease,
                const char16_t** directResult);

    // Core's reply to the message (released when the Reply goes), or the empty text when there is
    // no sendMessage or Core answers null. Core gets the same texts in a record of QOR's own.
    Reply sendToCore(const MessageRecord& record);
    // The same, unwrapped: Core's own text (null when there is no sendMessage or Core answers
    // null) and, in *release, the function that releases it.
    const char16_t* callCore(const MessageRecord& record, ReleaseFunction* release);

    // The applet's reply; see route. A message for an applet that is not registered goes to Core
    // unchanged; a registered applet that is not loaded, or has no processMessage, gives
    // "<undefined/>".
    Reply sendToApplet(const MessageRecord& record, ReleaseFunction* outRelease,
                       const char16_t** directResult);

  private:
    SendFunction sendMessage_ = nullptr;
    // Kept as the host gave them; the router has no use for them.
    [[maybe_unused]] LogFunction logMessage_ = nullptr;
    [[maybe_unused]] uintptr_t reserved3_ = 0;
    [[maybe_unused]] uintptr_t reserved4_ = 0;
};

// The module's router, made on first use. Copy the pointer to hold the router across a call out.
const std::shared_ptr<MessageRouter>& ensureRouter();

}  // namespace qor
