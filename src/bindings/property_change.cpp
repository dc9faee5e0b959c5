#include "bindings/property_change.h"

#include "bindings/binding_tables.h"
#include "plugin/log.h"
#include "routing/message_router.h"
#include "xml/xml_parser.h"

namespace qor {

namespace {

template <typename... Values>
void logBindings(const char16_t* format, Values... values) {
    logLine(kLogProgress, LogComponent::kQor, format, values...);
}

// A document opened from a fixed skeleton, with its root.
struct ComposedDocument {
    explicit ComposedDocument(const std::u16string& skeleton) {
        document.initWithXMLString(skeleton);
        document.getRootNode(root);
    }
    xml::XMLParser document;
    xml::XmlElement root;
};

void deliver(Message& message) {
    // The reply is dropped; an unreachable applet or a refusing Core changes nothing here.
    ensureRouter()->route(*message.toRecord(), nullptr, nullptr);
}

}  // namespace

std::u16string handlePropertyChange(Message& message) {
    logBindings(u"Inside PropertyChange");
    xml::XMLParser payload;
    payload.initWithXMLString(message.data);
    std::u16string appletID, appletVersion, instanceID, componentID, event;
    payload.stringValueForXQuery(u"//applet/CommandLineArguments/appletID", appletID);
    payload.stringValueForXQuery(u"//applet/CommandLineArguments/appletVersion", appletVersion);
    payload.stringValueForXQuery(u"//applet/CommandLineArguments/instanceID", instanceID);
    payload.stringValueForXQuery(u"//applet/CommandLineArguments/componentID", componentID);
    payload.stringValueForXQuery(u"//applet/CommandLineArguments/event", event);
    if (message.targetID != u"Core") {
        return u"true";
    }
    // The payload is parsed once: its root is what goes to Core.
    xml::XmlElement payloadRoot;
    payload.getRootNode(payloadRoot);
    const bool sent = sendEventInfoToCore(appletID, appletVersion, instanceID, componentID, event,
                                          message, payloadRoot);
    return sent ? u"true" : u"false";
}

bool sendEventInfoToCore(const std::u16string& appletID, const std::u16string& appletVersion,
                         const std::u16string& instanceID, const std::u16string& componentID,
                         const std::u16string& event, const Message& incoming,
                         const xml::XmlNode& payloadRoot) {
    logBindings(u"Inside sendEventInfoToCore");
    const std::u16string eventKey =
        appletKey(instanceID, appletID, appletVersion) + u"." + componentID + u"." + event;
    EventBinding binding;
    const bool found = ensureBindingTables().findEventBinding(eventKey, binding);
    if (found) {
        // The binding's data element (an empty one without), with the incoming payload last.
        ComposedDocument data(binding.dataXml.empty() ? u"<data/>" : binding.dataXml);
        if (!data.root) {
            // Stored data that does not parse again: a message without it would lose the data
            // and the applet's payload unseen.
            logLine(kLogFailure, LogComponent::kQor,
                    u"The data of the binding %s does not parse again; no PropertyChange sent",
                    eventKey.c_str());
            logBindings(u"Return from sendEventInfoToCore: %d", 0);
            return false;
        }
        ComposedDocument change(u"<propertyChange></propertyChange>");
        change.document.addChildToNode(u"propertyID", binding.propertyName, change.root);
        data.document.addChildToNode(payloadRoot, data.root);
        change.document.addChildToNode(data.root, change.root);

        Message toCore;
        toCore.targetType = u"Core";
        toCore.targetID = u"Core";
        toCore.sourceID = u"QOR";
        toCore.command = u"PropertyChange";
        change.document.getXMLString(toCore.data);
        toCore.flagA = 0;
        toCore.flagC = incoming.flagC;
        deliver(toCore);
    }
    logBindings(u"Return from sendEventInfoToCore: %d", static_cast<int32_t>(found));
    return found;
}

std::u16string handleListenPropertyChange(Message& message) {
    logBindings(u"Inside ListenPropertyChange");
    xml::XMLParser payload;
    payload.initWithXMLString(message.data);
    std::u16string propertyID;
    payload.stringValueForXQuery(u"//propertyChange/propertyID", propertyID);
    const xml::XmlElement data = payload.getNodeForXQuery(u"//propertyChange/data");
    const xml::XmlElement context = payload.getNodeForXQuery(u"//propertyChange/context");
    const bool sent = sendEventInfoToApplet(message.targetID, message.targetVersion,
                                            message.targetInstanceID, propertyID, data, context);
    return sent ? u"true" : u"false";
}

bool sendEventInfoToApplet(const std::u16string& targetID, const std::u16string& targetVersion,
                           const std::u16string& targetInstanceID, const std::u16string& propertyID,
                           const xml::XmlNode& dataNode, const xml::XmlNode& contextNode) {
    logBindings(u"Inside sendEventInfoToApplet");
    const std::u16string propertyKey =
        appletKey(targetInstanceID, targetID, targetVersion) + u"." + propertyID;
    PropertyBinding binding;
    if (!ensureBindingTables().findPropertyBinding(propertyKey, binding)) {
        return false;
    }
    ComposedDocument change(u"<propertyChange></propertyChange>");
    xml::XMLParser& document = change.document;
    document.addChildToNode(dataNode, change.root);
    document.addChildToNode(contextNode, change.root);
    document.addChildToNode(u"command", binding.command, change.root);
    document.addChildToNode(u"viewID", binding.viewID, change.root);
    document.addChildToNode(u"type", binding.type, change.root);
    document.addChildToNode(u"id", binding.id, change.root);
    document.addChildToNode(u"propertyID", propertyID, change.root);

    Message toApplet;
    toApplet.targetType = u"Applet";
    toApplet.targetID = targetID;
    toApplet.targetVersion = targetVersion;
    toApplet.targetInstanceID = targetInstanceID;
    toApplet.sourceID = u"QOR";
    toApplet.command = u"HandlePropertyChangeFromBL";
    document.getXMLString(toApplet.data);
    toApplet.flagA = 0;
    deliver(toApplet);
    return true;
}

}  // namespace qor
