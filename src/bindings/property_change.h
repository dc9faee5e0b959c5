#pragma once

#include <string>

#include "plugin/message.h"
#include "xml/xml_parser.h"

namespace qor {

// "PropertyChange" from an applet, addressed to Core: the payload's <applet><CommandLineArguments>
// names the instance, component and event; the bound Core property's change goes to Core.
// "false" when no event binding matches; "true" (and nothing sent) when not addressed to "Core".
std::u16string handlePropertyChange(Message& message);

// "ListenPropertyChange" from Core, addressed to the applet instance that registered the property:
// the applet receives HandlePropertyChangeFromBL with its own command, view, type and identifier.
// "false" when no property binding matches.
std::u16string handleListenPropertyChange(Message& message);

// Sends Core a PropertyChange naming the bound property, with the binding's data and the incoming
// payload's root element (`payloadRoot`, null when the payload did not parse); false when no
// event binding matches.
bool sendEventInfoToCore(const std::u16string& appletID, const std::u16string& appletVersion,
                         const std::u16string& instanceID, const std::u16string& componentID,
                         const std::u16string& event, const Message& incoming,
                         const xml::XmlNode& payloadRoot);

// Sends the applet HandlePropertyChangeFromBL; false when no property binding matches. Either node
// may be null, and is then left out.
bool sendEventInfoToApplet(const std::u16string& targetID, const std::u16string& targetVersion,
                           const std::u16string& targetInstanceID, const std::u16string& propertyID,
                           const xml::XmlNode& dataNode, const xml::XmlNode& contextNode);

}  // namespace qor
