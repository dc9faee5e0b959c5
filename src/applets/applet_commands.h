#pragma once

#include <string>

#include "plugin/message.h"

namespace qor {

// "LoadUIApplet": loads the applet named by the payload's <applet appletID appletVersion
// instanceID appletPath/> for that instance; "true" or "false".
std::u16string handleLoadUIApplet(Message& message);

// "UnloadUIApplet": unloads one instance of a registered applet; "true" or "false".
std::u16string handleUnloadUIApplet(Message& message);

}  // namespace qor
