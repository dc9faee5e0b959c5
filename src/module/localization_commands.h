#pragma once

#include <string>

#include "plugin/message.h"

namespace qor {

// "LocalizeData" and "GetLocaleForApplet": readdress the requester's message to Core's
// localization manager ("LocManager_CoreExt", version "1.0", instance "1"), send it to Core and
// answer with Core's reply. The requester's identity, payload and flags travel unchanged.
std::u16string handleLocalizeData(Message& message);
std::u16string handleGetLocaleForApplet(Message& message);

}  // namespace qor
