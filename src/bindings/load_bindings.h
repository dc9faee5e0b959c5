#pragma once

#include <string>

#include "plugin/message.h"
#include "xml/xml_parser.h"

namespace qor {

// "LoadBindings": stores an applet instance's event and property bindings from the payload
// <applet><CommandLineArguments><appletID/><appletVersion/><instanceID/><bindings>...</bindings>
// </CommandLineArguments></applet> and registers its properties with Core. "false" when either
// kind of binding could not be read; what was stored before a failure stays.
std::u16string handleLoadBindings(Message& message);

// The bindings element of a payload, found once for both loaders and read in place. The loaders
// look for their sections below it as in a document of its own: the first
// "bindings/eventBindings" (or "bindings/propertyBindings") at or under it, in document order.
struct BindingsDocument {
    explicit BindingsDocument(xml::XMLParser& payload);

    xml::XMLParser& document;
    // The payload's //applet/CommandLineArguments/bindings element; null when it has none.
    xml::XmlElement root;
    // False when there are no bindings to read.
    bool readable = false;
};

// Stores the event bindings of the bindings' eventBindings section; false when the text or the
// section cannot be read.
bool loadEventBindings(BindingsDocument& bindings, const std::u16string& appletID,
                       const std::u16string& appletVersion, const std::u16string& instanceID);

// Stores the property bindings of the bindings' propertyBindings section and, whatever happens,
// sends Core RegisterProperties with the properties registered so far; false when the text or the
// section cannot be read.
bool loadPropertyBindings(BindingsDocument& bindings, const std::u16string& appletID,
                          const std::u16string& appletVersion, const std::u16string& instanceID);

// Sends Core a RegisterProperties message with the registration document; the reply is dropped.
void registerPropertyBindingsWithCore(const std::u16string& documentText);

}  // namespace qor
