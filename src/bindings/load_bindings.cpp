#include "bindings/load_bindings.h"

#include <memory>

#include "bindings/binding_tables.h"
#include "plugin/log.h"
#include "routing/message_router.h"
#include "xml/child_elements.h"
#include "xml/dom_error.h"
#include "xml/xml_parser.h"

namespace qor {

namespace {

template <typename... Values>
void logBindings(const char16_t* format, Values... values) {
    logLine(kLogProgress, LogComponent::kQor, format, values...);
}

// An attribute of an element read in place; the empty text when it has none.
std::u16string attribute(xml::XMLParser& document, const xml::XmlElement& element,
                         const std::u16string& name) {
    std::u16string value;
    document.getAttributeOfNode(element, name, value);
    return value;
}

// The query, relative to the bindings element, for the first section of a name: the element's
// own sections and those of bindings elements inside it, in document order, as
// "//bindings/<section>" selects them in a document of the bindings element alone. Written in
// the terms XPath and XSL Patterns (the Windows DOM's language, which has no axes) share.
std::u16string sectionQuery(const std::u16string& section) {
    return section + u" | .//bindings/" + section;
}

bool storeEventBindings(BindingsDocument& bindings, const std::u16string& key) {
    if (!bindings.readable) {
        return false;
    }
    xml::XMLParser& document = bindings.document;
    const xml::XmlElement section =
        document.getNodeForXQuery(sectionQuery(u"eventBindings"), bindings.root);
    if (!section) {
        logBindings(u"eventBindings Node not present in XML");
        return false;
    }
    BindingTables& tables = ensureBindingTables();
    xml::forEachChildElement(document, section, [&](const xml::XmlElement& element) {
        EventBinding binding;
        binding.propertyName = attribute(document, element, u"propertyName");
        std::u16string eventKey;
        bool sourceSeen = false;
        xml::forEachChildElement(document, element, [&](const xml::XmlElement& child) {
            std::u16string name;
            document.getMapOfNode(child, name);
            if (name == u"source") {
                eventKey = key + u"." + attribute(document, child, u"id") + u"." +
                           attribute(document, child, u"event");
                binding.sourceType = attribute(document, child, u"type");
                sourceSeen = true;
            } else if (name == u"data") {
                document.getXMLStringOfNode(child, binding.dataXml);
            }
        });
        if (sourceSeen) {
            tables.storeEventBinding(eventKey, binding);
        }
    });
    return true;
}

bool storePropertyBindings(BindingsDocument& bindings, const std::u16string& key,
                           xml::XMLParser& registration, const xml::XmlElement& registrationRoot) {
    if (!bindings.readable) {
        return false;
    }
    xml::XMLParser& document = bindings.document;
    const xml::XmlElement section =
        document.getNodeForXQuery(sectionQuery(u"propertyBindings"), bindings.root);
    if (!section) {
        logBindings(u"propertyBindings Node not present in XML");
        return false;
    }
    BindingTables& tables = ensureBindingTables();
    xml::forEachChildElement(document, section, [&](const xml::XmlElement& element) {
        const std::u16string property = attribute(document, element, u"propertyName");
        if (property.empty()) {
            return;
        }
        registration.addChildToNode(u"propertyID", property, registrationRoot);
        PropertyBinding binding;
        xml::forEachChildElement(document, element, [&](const xml::XmlElement& child) {
            std::u16string name;
            document.getMapOfNode(child, name);
            if (name == u"target") {
                binding.command = attribute(document, child, u"command");
                binding.viewID = attribute(document, child, u"viewID");
                binding.type = attribute(document, child, u"type");
                binding.id = attribute(document, child, u"id");
            }
        });
        tables.storePropertyBinding(key + u"." + property, binding);
    });
    return true;
}

}  // namespace

BindingsDocument::BindingsDocument(xml::XMLParser& payload)
    : document(payload),
      root(payload.getNodeForXQuery(u"//applet/CommandLineArguments/bindings")),
      readable(static_cast<bool>(root)) {}

std::u16string handleLoadBindings(Message& message) {
    logBindings(u"Inside LoadBindings");
    xml::XMLParser payload;
    payload.initWithXMLString(message.data);
    std::u16string appletID, appletVersion, instanceID;
    payload.stringValueForXQuery(u"//applet/CommandLineArguments/appletID", appletID);
    payload.stringValueForXQuery(u"//applet/CommandLineArguments/appletVersion", appletVersion);
    payload.stringValueForXQuery(u"//applet/CommandLineArguments/instanceID", instanceID);
    BindingsDocument bindingsDocument(payload);
    bool loaded = loadEventBindings(bindingsDocument, appletID, appletVersion, instanceID);
    loaded = loadPropertyBindings(bindingsDocument, appletID, appletVersion, instanceID) && loaded;
    return loaded ? u"true" : u"false";
}

bool loadEventBindings(BindingsDocument& bindings, const std::u16string& appletID,
                       const std::u16string& appletVersion, const std::u16string& instanceID) {
    logBindings(u"Inside loadEventBindings");
    bool loaded = false;
    try {
        loaded = storeEventBindings(bindings, appletKey(instanceID, appletID, appletVersion));
    } catch (const xml::DomError&) {
        // A DOM failure ends the load as failed; what was stored before it stays.
    }
    logBindings(u"Return from loadEventBindings: %d", static_cast<int32_t>(loaded));
    return loaded;
}

bool loadPropertyBindings(BindingsDocument& bindings, const std::u16string& appletID,
                          const std::u16string& appletVersion, const std::u16string& instanceID) {
    logBindings(u"Inside loadPropertyBindings");
    const std::u16string key = appletKey(instanceID, appletID, appletVersion);
    xml::XMLParser registration;
    registration.initWithXMLString(u"<propertyBindings></propertyBindings>");
    xml::XmlElement registrationRoot;
    registration.getRootNode(registrationRoot);
    registration.addAttributeToNode(registrationRoot, u"targetID", appletID);
    registration.addAttributeToNode(registrationRoot, u"targetVersion", appletVersion);
    registration.addAttributeToNode(registrationRoot, u"targetInstanceID", instanceID);
    registration.addAttributeToNode(registrationRoot, u"targetMessage", u"ListenPropertyChange");

    bool loaded = false;
    try {
        loaded = storePropertyBindings(bindings, key, registration, registrationRoot);
    } catch (const xml::DomError&) {
        // As for event bindings; Core still hears of what was registered.
    }
    std::u16string documentText;
    registration.getXMLString(documentText);
    registerPropertyBindingsWithCore(documentText);
    logBindings(u"Return from loadPropertyBindings: %d", static_cast<int32_t>(loaded));
    return loaded;
}

void registerPropertyBindingsWithCore(const std::u16string& documentText) {
    logBindings(u"Inside registerPropertyBindingsWithCore");
    Message registration;
    registration.targetType = u"Core";
    registration.targetID = u"Core";
    registration.sourceID = u"QOR";
    registration.command = u"RegisterProperties";
    registration.data = documentText;
    registration.flagA = 0;
    ensureRouter()->route(*registration.toRecord(), nullptr, nullptr);
    logBindings(u"Return from registerPropertyBindingsWithCore");
}

}  // namespace qor
