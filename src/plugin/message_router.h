#pragma once

#include <cstdint>
#include <string>

#include "plugin/message.h"
#include "qor/plugin.h"

namespace qor {

// Delivers the messages QOR does not handle itself: to Core through the host's sendMessage, or to
// a loaded applet's processMessage. Holds the four words initialize copies from the host's
// context; only sendMessage is used.
class MessageRouter {
  public:
    void setHostWords(SendFunction sendMessage, LogFunction logMessage, uintptr_t reserved3,
                      uintptr_t reserved4);

    // Sends a message whose targetType is "Applet" towards that applet, every other message to
    // Core. `record`, `outRelease` and `directResult` are either all given (a caller's message,
    // which may be passed through to an applet untouched) or all null (a message QOR composed).
    // After a pass-through, *directResult holds the applet's own result and the text returned
    // here is "<undefined/>".
    std::u16string route(Message& message, const MessageRecord* record, ReleaseFunction* outRelease,
                         const char16_t** directResult);

    // Core's reply to the message (copied and released), or the empty text when there is no
    // sendMessage or Core answers null.
    std::u16string sendToCore(Message& message);

    // The applet's reply; see route. A message for an applet that is not registered goes to Core
    // unchanged; a registered applet that is not loaded, or has no processMessage, gives
    // "<undefined/>".
    std::u16string sendToApplet(Message& message, const MessageRecord* record,
                                ReleaseFunction* outRelease, const char16_t** directResult);

  private:
    SendFunction sendMessage_ = nullptr;
    // Kept as the host gave them; the router has no use for them.
    [[maybe_unused]] LogFunction logMessage_ = nullptr;
    [[maybe_unused]] uintptr_t reserved3_ = 0;
    [[maybe_unused]] uintptr_t reserved4_ = 0;
};

}  // namespace qor
