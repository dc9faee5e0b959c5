#include "plugin/message.h"

namespace qor {

Message::Message(const MessageRecord& record)
    : targetType(record.targetType),
      targetID(record.targetID),
      targetVersion(record.targetVersion),
      targetInstanceID(record.targetInstanceID),
      sourceID(record.sourceID),
      sourceVersion(record.sourceVersion),
      sourceInstanceID(record.sourceInstanceID),
      command(record.command),
      data(record.data),
      flagA(record.flagA),
      flagB(record.flagB),
      flagC(record.flagC) {}

const MessageRecord* Message::toRecord() {
    record_.version = 1;
    record_.targetType = targetType.c_str();
    record_.targetID = targetID.c_str();
    record_.targetVersion = targetVersion.c_str();
    record_.targetInstanceID = targetInstanceID.c_str();
    record_.sourceID = sourceID.c_str();
    record_.sourceVersion = sourceVersion.c_str();
    record_.sourceInstanceID = sourceInstanceID.c_str();
    record_.command = command.c_str();
    record_.data = data.c_str();
    record_.flagA = flagA;
    record_.flagB = flagB;
    record_.flagC = flagC;
    record_.reserved = 0;
    return &record_;
}

bool isWellFormed(const MessageRecord* record) {
    return record != nullptr && record->targetType != nullptr && record->targetID != nullptr &&
           record->targetVersion != nullptr && record->targetInstanceID != nullptr &&
           record->sourceID != nullptr && record->sourceVersion != nullptr &&
           record->sourceInstanceID != nullptr && record->command != nullptr &&
           record->data != nullptr;
}

}  // namespace qor
