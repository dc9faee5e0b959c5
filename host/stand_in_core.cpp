#include "stand_in_core.h"

#include <algorithm>

#include "outgoing_message.h"
#include "xml/xml_parser.h"
#include "xml_file.h"

namespace qor::host {

namespace {

std::u16string valueOf(xml::XMLParser& document, const std::u16string& query) {
    std::u16string value;
    document.stringValueForXQuery(query, value);
    return value;
}

}  // namespace

StandInCore::StandInCore(RecordingCore& recorder, SendFunction qor) : qor_(qor) {
    recorder.onMessage = [this](const ReceivedMessage& message) { return answer(message); };
}

std::u16string StandInCore::answer(const ReceivedMessage& message) {
    if (message.targetID == u"LocManager_CoreExt") {
        return localize(message);
    }
    if (message.command == u"RegisterProperties") {
        return registerProperties(message);
    }
    if (message.command == u"PropertyChange") {
        return changeProperty(message);
    }
    return u"";
}

std::u16string StandInCore::registerProperties(const ReceivedMessage& message) {
    xml::XMLParser document;
    if (!document.initWithXMLString(message.data)) {
        return u"false";
    }
    xml::XmlElement root;
    document.getRootNode(root);
    const xml::AttributeMap attributes = document.getAttrsMapOfNode(root);
    Subscription subscription{attributeOr(attributes, u"targetID"),
                              attributeOr(attributes, u"targetVersion"),
                              attributeOr(attributes, u"targetInstanceID"), u"",
                              attributeOr(attributes, u"targetMessage", u"ListenPropertyChange")};
    forEachElement(document, root, [&](const std::u16string& name, const xml::XmlElement& child) {
        if (name != u"propertyID") {
            return;
        }
        subscription.property = textOf(document, child);
        const bool known = std::any_of(
            subscriptions_.begin(), subscriptions_.end(), [&](const Subscription& other) {
                return other.appletID == subscription.appletID &&
                       other.appletVersion == subscription.appletVersion &&
                       other.instanceID == subscription.instanceID &&
                       other.property == subscription.property;
            });
        if (!known) {
            subscriptions_.push_back(subscription);
        }
    });
    return u"true";
}

std::u16string StandInCore::changeProperty(const ReceivedMessage& message) {
    xml::XMLParser change;
    if (!change.initWithXMLString(message.data)) {
        return u"false";
    }
    const std::u16string property = valueOf(change, u"/propertyChange/propertyID");
    // The applet's own value when its payload carries one, else the whole data text.
    std::u16string value = valueOf(change, u"/propertyChange/data//CommandLineArguments/value");
    if (!change.nodeExistsXQuery(u"/propertyChange/data//CommandLineArguments/value")) {
        value = valueOf(change, u"/propertyChange/data");
    }
    properties_[property] = value;
    const std::u16string origin =
        valueOf(change, u"/propertyChange/data//CommandLineArguments/appletID");
    const std::u16string originInstance =
        valueOf(change, u"/propertyChange/data//CommandLineArguments/instanceID");

    // Copied: an announcement may register more subscriptions meanwhile.
    const std::vector<Subscription> subscribers = subscriptions_;
    for (const Subscription& subscription : subscribers) {
        if (subscription.property != property) {
            continue;
        }
        xml::XMLParser announcement;
        announcement.initWithXMLString(u"<propertyChange/>");
        xml::XmlElement root;
        announcement.getRootNode(root);
        announcement.addChildToNode(u"propertyID", property, root);
        announcement.addChildToNode(u"data", value, root);
        announcement.addChildToNode(u"context", u"", root);
        const xml::XmlElement context = announcement.getNodeForXQuery(u"/propertyChange/context");
        announcement.addAttributeToNode(context, u"appletID", origin);
        announcement.addAttributeToNode(context, u"instanceID", originInstance);

        OutgoingMessage announce;
        announce.targetType = u"Applet";
        announce.targetID = subscription.appletID;
        announce.targetVersion = subscription.appletVersion;
        announce.targetInstanceID = subscription.instanceID;
        announce.command = subscription.targetMessage;
        announcement.getXMLString(announce.data);
        if (onSend) {
            onSend(announce);
        }
        const std::optional<std::u16string> reply = sendMessage(qor_, announce);
        if (onReply) {
            onReply(announce, reply);
        }
    }
    return u"true";
}

std::u16string StandInCore::localize(const ReceivedMessage& message) {
    xml::XMLParser request;
    request.initWithXMLString(message.data);
    std::u16string locale;
    request.stringValueForXQuery(u"/localize/@locale", locale);
    if (message.command == u"GetLocaleForApplet") {
        return catalogue_.locale();
    }
    std::u16string id;
    request.stringValueForXQuery(u"/localize/@id", id);
    const std::u16string* text = catalogue_.find(id, locale);
    return text != nullptr ? *text : u"";
}

}  // namespace qor::host
