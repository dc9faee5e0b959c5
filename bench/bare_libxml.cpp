#include "bare_libxml.h"

#include <dlfcn.h>
#include <libxml/parser.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>

#include <map>
#include <memory>

#include "platform/utf8.h"

namespace qor::bench {

namespace {

using platform::fromUtf8;
using platform::toUtf8;

struct FreeDoc {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using Doc = std::unique_ptr<xmlDoc, FreeDoc>;

xmlParserCtxtPtr parserContext() {
    static xmlParserCtxtPtr context = nullptr;
    static int uses = 0;
    if (context == nullptr || ++uses % 1000 == 0) {
        if (context != nullptr) {
            xmlFreeParserCtxt(context);
        }
        context = xmlNewParserCtxt();
    }
    return context;
}

Doc parse(const std::u16string& text) {
    const std::string utf8 = toUtf8(text);
    return Doc(xmlCtxtReadMemory(parserContext(), utf8.data(), static_cast<int>(utf8.size()),
                                 nullptr, "UTF-8", XML_PARSE_NONET | XML_PARSE_NOERROR));
}

xmlXPathContextPtr xpathContext() {
    static xmlXPathContextPtr context = xmlXPathNewContext(nullptr);
    return context;
}

xmlXPathCompExprPtr compiled(const char* query) {
    static std::map<std::string, xmlXPathCompExprPtr> cache;
    auto& slot = cache[query];
    if (slot == nullptr) {
        slot = xmlXPathCompile(BAD_CAST query);
    }
    return slot;
}

xmlNodePtr firstNode(xmlDoc* doc, const char* query) {
    xmlXPathContextPtr context = xpathContext();
    context->doc = doc;
    context->node = reinterpret_cast<xmlNodePtr>(doc);
    xmlXPathObjectPtr result = xmlXPathCompiledEval(compiled(query), context);
    xmlNodePtr node =
        result != nullptr && result->nodesetval != nullptr && result->nodesetval->nodeNr > 0
            ? result->nodesetval->nodeTab[0]
            : nullptr;
    xmlXPathFreeObject(result);
    return node;
}

std::u16string textOf(const xmlNode* node) {
    if (node == nullptr) {
        return {};
    }
    xmlChar* content = xmlNodeGetContent(node);
    std::u16string text = fromUtf8(reinterpret_cast<const char*>(content));
    xmlFree(content);
    return text;
}

std::u16string text(xmlDoc* doc, const char* query) {
    return textOf(firstNode(doc, query));
}

std::u16string attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, BAD_CAST name);
    std::u16string text = value != nullptr ? fromUtf8(reinterpret_cast<const char*>(value)) : u"";
    xmlFree(value);
    return text;
}

std::u16string markup(xmlNode* node) {
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer, "UTF-8", XML_SAVE_NO_DECL);
    if (node->type == XML_DOCUMENT_NODE) {
        xmlSaveDoc(save, reinterpret_cast<xmlDocPtr>(node));
    } else {
        xmlSaveTree(save, node);
    }
    xmlSaveClose(save);
    std::u16string text = fromUtf8(reinterpret_cast<const char*>(xmlBufferContent(buffer)));
    xmlBufferFree(buffer);
    return text;
}

void addText(xmlNode* parent, const char* name, const std::u16string& value) {
    xmlNewTextChild(parent, nullptr, BAD_CAST name, BAD_CAST toUtf8(value).c_str());
}

std::u16string callOut(SendFunction send, const std::u16string& targetType,
                       const std::u16string& targetID, const std::u16string& targetVersion,
                       const std::u16string& targetInstanceID, const std::u16string& command,
                       const std::u16string& data) {
    MessageRecord record{};
    record.version = 1;
    record.targetType = targetType.c_str();
    record.targetID = targetID.c_str();
    record.targetVersion = targetVersion.c_str();
    record.targetInstanceID = targetInstanceID.c_str();
    record.sourceID = u"QOR";
    record.sourceVersion = u"";
    record.sourceInstanceID = u"";
    record.command = command.c_str();
    record.data = data.c_str();
    record.flagB = 1;
    ReleaseFunction release = nullptr;
    const char16_t* reply = send(&record, &release);
    std::u16string copy = reply != nullptr ? reply : u"";
    if (reply != nullptr && release != nullptr) {
        release(reply);
    }
    return copy;
}

std::u16string key(const std::u16string& instance, const std::u16string& id,
                   const std::u16string& version) {
    return u"com.zarvo.pqn." + instance + u"." + id + u"." + version;
}

template <typename Visit>
void forEachElement(xmlNode* parent, Visit visit) {
    for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) {
            visit(child);
        }
    }
}

}  // namespace

std::u16string barePropertyChange(const std::u16string& payload, const EventTable& events,
                                  SendFunction core) {
    const Doc incoming = parse(payload);
    const std::u16string eventKey =
        key(text(incoming.get(), "//applet/CommandLineArguments/instanceID"),
            text(incoming.get(), "//applet/CommandLineArguments/appletID"),
            text(incoming.get(), "//applet/CommandLineArguments/appletVersion")) +
        u"." + text(incoming.get(), "//applet/CommandLineArguments/componentID") + u"." +
        text(incoming.get(), "//applet/CommandLineArguments/event");
    const auto found = events.find(eventKey);
    if (found == events.end()) {
        return u"false";
    }
    const EventRow binding = found->second;
    const Doc change = parse(u"<propertyChange></propertyChange>");
    xmlNode* root = xmlDocGetRootElement(change.get());
    addText(root, "propertyID", binding.propertyName);
    const Doc data = parse(binding.dataXml.empty() ? u"<data/>" : binding.dataXml);
    xmlNode* dataRoot = xmlDocGetRootElement(data.get());
    xmlAddChild(dataRoot, xmlDocCopyNode(xmlDocGetRootElement(incoming.get()), data.get(), 1));
    xmlAddChild(root, xmlDocCopyNode(dataRoot, change.get(), 1));
    callOut(core, u"Core", u"Core", u"", u"", u"PropertyChange",
            markup(reinterpret_cast<xmlNode*>(change.get())));
    return u"true";
}

std::u16string bareListenPropertyChange(const MessageRecord& incoming,
                                        const PropertyTable& properties, void* appletLibrary) {
    const Doc payload = parse(incoming.data);
    const std::u16string propertyID = text(payload.get(), "//propertyChange/propertyID");
    xmlNode* data = firstNode(payload.get(), "//propertyChange/data");
    xmlNode* context = firstNode(payload.get(), "//propertyChange/context");
    const std::u16string targetID = incoming.targetID;
    const std::u16string targetVersion = incoming.targetVersion;
    const std::u16string targetInstanceID = incoming.targetInstanceID;
    const auto found =
        properties.find(key(targetInstanceID, targetID, targetVersion) + u"." + propertyID);
    if (found == properties.end()) {
        return u"false";
    }
    const PropertyRow binding = found->second;
    const Doc change = parse(u"<propertyChange></propertyChange>");
    xmlNode* root = xmlDocGetRootElement(change.get());
    xmlAddChild(root, xmlDocCopyNode(data, change.get(), 1));
    xmlAddChild(root, xmlDocCopyNode(context, change.get(), 1));
    addText(root, "command", binding.command);
    addText(root, "viewID", binding.viewID);
    addText(root, "type", binding.type);
    addText(root, "id", binding.id);
    addText(root, "propertyID", propertyID);
    const auto process = reinterpret_cast<SendFunction>(dlsym(appletLibrary, "processMessage"));
    callOut(process, u"Applet", targetID, targetVersion, targetInstanceID,
            u"HandlePropertyChangeFromBL", markup(reinterpret_cast<xmlNode*>(change.get())));
    return u"true";
}

std::u16string bareLoadBindings(const std::u16string& payload, EventTable& events,
                                PropertyTable& properties, SendFunction core) {
    const Doc incoming = parse(payload);
    const std::u16string id = text(incoming.get(), "//applet/CommandLineArguments/appletID");
    const std::u16string version =
        text(incoming.get(), "//applet/CommandLineArguments/appletVersion");
    const std::u16string instance =
        text(incoming.get(), "//applet/CommandLineArguments/instanceID");
    const std::u16string appletKey = key(instance, id, version);
    xmlNode* bindings = firstNode(incoming.get(), "//applet/CommandLineArguments/bindings");

    const Doc registration = parse(u"<propertyBindings></propertyBindings>");
    xmlNode* registrationRoot = xmlDocGetRootElement(registration.get());
    xmlSetProp(registrationRoot, BAD_CAST "targetID", BAD_CAST toUtf8(id).c_str());
    xmlSetProp(registrationRoot, BAD_CAST "targetVersion", BAD_CAST toUtf8(version).c_str());
    xmlSetProp(registrationRoot, BAD_CAST "targetInstanceID", BAD_CAST toUtf8(instance).c_str());
    xmlSetProp(registrationRoot, BAD_CAST "targetMessage", BAD_CAST "ListenPropertyChange");

    for (xmlNode* section = bindings->children; section != nullptr; section = section->next) {
        if (section->type != XML_ELEMENT_NODE) {
            continue;
        }
        const bool eventSection = xmlStrEqual(section->name, BAD_CAST "eventBindings");
        forEachElement(section, [&](xmlNode* binding) {
            const std::u16string property = attribute(binding, "propertyName");
            if (eventSection) {
                EventRow row{property, u"", u""};
                std::u16string eventKey;
                forEachElement(binding, [&](xmlNode* child) {
                    if (xmlStrEqual(child->name, BAD_CAST "source")) {
                        eventKey = appletKey + u"." + attribute(child, "id") + u"." +
                                   attribute(child, "event");
                        row.sourceType = attribute(child, "type");
                    } else if (xmlStrEqual(child->name, BAD_CAST "data")) {
                        row.dataXml = markup(child);
                    }
                });
                if (!eventKey.empty()) {
                    events.insert_or_assign(eventKey, row);
                }
            } else if (!property.empty()) {
                addText(registrationRoot, "propertyID", property);
                PropertyRow row;
                forEachElement(binding, [&](xmlNode* child) {
                    if (xmlStrEqual(child->name, BAD_CAST "target")) {
                        row = {attribute(child, "command"), attribute(child, "viewID"),
                               attribute(child, "type"), attribute(child, "id")};
                    }
                });
                properties.insert_or_assign(appletKey + u"." + property, row);
            }
        });
    }
    callOut(core, u"Core", u"Core", u"", u"", u"RegisterProperties",
            markup(reinterpret_cast<xmlNode*>(registration.get())));
    return u"true";
}

}  // namespace qor::bench
