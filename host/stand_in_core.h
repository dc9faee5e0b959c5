#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "message_catalogue.h"
#include "outgoing_message.h"
#include "recording_core.h"

namespace qor::host {

// A small Core behind a RecordingCore: it keeps a property store, remembers the subscriptions
// that RegisterProperties announces, and when QOR reports a PropertyChange it updates the property
// and announces the change (with the subscription's targetMessage, ListenPropertyChange) to every
// instance subscribed to it. It answers LocalizeData and GetLocaleForApplet from a message
// catalogue. Everything else is answered with the empty text.
class StandInCore {
  public:
    struct Subscription {
        std::u16string appletID, appletVersion, instanceID, property, targetMessage;
    };

    // Answers the recorder's messages from now on; `qor` is QOR's processMessage, used to
    // announce property changes.
    StandInCore(RecordingCore& recorder, SendFunction qor);

    MessageCatalogue& catalogue() { return catalogue_; }
    // Told of every message this Core sends QOR on its own (the announcements), and of QOR's
    // reply to it.
    std::function<void(const OutgoingMessage&)> onSend;
    std::function<void(const OutgoingMessage&, const std::optional<std::u16string>&)> onReply;
    const std::map<std::u16string, std::u16string>& properties() const { return properties_; }
    const std::vector<Subscription>& subscriptions() const { return subscriptions_; }

  private:
    std::u16string answer(const ReceivedMessage& message);
    std::u16string registerProperties(const ReceivedMessage& message);
    std::u16string changeProperty(const ReceivedMessage& message);
    std::u16string localize(const ReceivedMessage& message);

    SendFunction qor_;
    MessageCatalogue catalogue_;
    std::map<std::u16string, std::u16string> properties_;
    std::vector<Subscription> subscriptions_;
};

}  // namespace qor::host
