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

// The bindings of a payload as a document of their own, made once for both loaders.
struct BindingsDocument {
    // From the bindings element of a payload (null when the payload has none).
    explicit BindingsDocument(const xml::XmlNode& bindingsElement);

    xml::XMLParser document;
    // False when there are no bindings to read.
    bool readable = false;
};

// Stores the event bindings of //bindings/eventBindings; false when the text or the section
// cannot be read.
bool loadEventBindings(BindingsDocument& bindings, const std::u16string& appletID,
                       const std::u16string& appletVersion, const std::u16string& instanceID);

// Stores the property bindings of //bindings/propertyBindings and, whatever happens, sends Core
// RegisterProperties with the properties registered so far; false when the text or the section
// cannot be read.
bool loadPropertyBindings(BindingsDocument& bindings, const std::u16string& appletID,
                          const std::u16string& appletVersion, const std::u16string& instanceID);

// Sends Core a RegisterProperties message with the registration document; the reply is dropped.
void registerPropertyBindingsWithCore(const std::u16string& documentText);

}  // namespace qor
