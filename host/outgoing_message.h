#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "qor/plugin.h"

namespace qor::host {

// A message a host or an applet sends QOR, with owned texts; the defaults address Core.
struct OutgoingMessage {
    std::u16string targetType = u"Core";
    std::u16string targetID = u"Core";
    std::u16string targetVersion;
    std::u16string targetInstanceID;
    std::u16string sourceID = u"Core";
    std::u16string sourceVersion;
    std::u16string sourceInstanceID;
    std::u16string command;
    std::u16string data;
    uint8_t flagA = 0;
    uint8_t flagB = 1;
    uint8_t flagC = 0;
    int32_t version = 1;

    // A record pointing at this object's texts, valid while the object is unchanged.
    MessageRecord record() const {
        MessageRecord record{};
        record.version = version;
        record.targetType = targetType.c_str();
        record.targetID = targetID.c_str();
        record.targetVersion = targetVersion.c_str();
        record.targetInstanceID = targetInstanceID.c_str();
        record.sourceID = sourceID.c_str();
        record.sourceVersion = sourceVersion.c_str();
        record.sourceInstanceID = sourceInstanceID.c_str();
        record.command = command.c_str();
        record.data = data.c_str();
        record.flagA = flagA;
        record.flagB = flagB;
        record.flagC = flagC;
        return record;
    }
};

// Sends a message through a SendFunction and returns a copy of the reply, released at once with
// the function handed back; nullopt for a null reply.
std::optional<std::u16string> sendMessage(SendFunction send, const OutgoingMessage& message);

}  // namespace qor::host
