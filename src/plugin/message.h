#pragma once

#include <cstdint>
#include <string>

#include "qor/plugin.h"

namespace qor {

// A message inside QOR: owned copies of the nine texts and the three flags of a MessageRecord.
// Handlers and composers read and assign the fields directly; toRecord() lays the message out as
// a record to pass on. Never copied.
class Message {
  public:
    // The defaults of every message QOR composes: targetType "Invalid", other texts empty, flags
    // 0, 1, 0.
    Message() = default;
    // Copies each text of a well-formed record up to its first zero unit, and the three flags.
    explicit Message(const MessageRecord& record);

    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;

    // Refreshes the message's own record from the current fields and returns it. The record and
    // the texts it points to stay valid until the next change to the message or its destruction.
    const MessageRecord* toRecord();

    std::u16string targetType = u"Invalid";
    std::u16string targetID;
    std::u16string targetVersion;
    std::u16string targetInstanceID;
    std::u16string sourceID;
    std::u16string sourceVersion;
    std::u16string sourceInstanceID;
    std::u16string command;
    std::u16string data;
    uint8_t flagA = 0;
    uint8_t flagB = 1;
    uint8_t flagC = 0;

  private:
    MessageRecord record_{};
};

// True when the record and all nine of its text pointers are non-null.
bool isWellFormed(const MessageRecord* record);

}  // namespace qor
