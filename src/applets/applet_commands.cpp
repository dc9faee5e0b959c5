#include "applets/applet_commands.h"

#include <memory>

#include "applets/applet_list.h"
#include "applets/applet_loading.h"
#include "plugin/debug_output.h"
#include "plugin/log.h"
#include "xml/xml_parser.h"

namespace qor {

namespace {

// The applet a payload names; a missing attribute, or a payload that cannot be parsed, reads as
// the empty text.
struct AppletPayload {
    explicit AppletPayload(const std::u16string& data) {
        document.initWithXMLString(data);
        document.stringValueForXQuery(u"//applet/@appletID", appletID);
        document.stringValueForXQuery(u"//applet/@appletVersion", appletVersion);
        document.stringValueForXQuery(u"//applet/@instanceID", instanceID);
    }

    xml::XMLParser document;
    std::u16string appletID;
    std::u16string appletVersion;
    std::u16string instanceID;
};

std::u16string resultText(bool success) {
    return success ? u"true" : u"false";
}

}  // namespace

std::u16string handleLoadUIApplet(Message& message) {
    logLine(kLogProgress, LogComponent::kQor, u"Inside LoadUIApplet");
    AppletPayload payload(message.data);
    const std::shared_ptr<AppletList> applets = moduleState().ensureAppletList();
    std::shared_ptr<AppletRecord> record =
        applets->findApplet(payload.appletID, payload.appletVersion);
    // A LoadUIApplet nested in the applet's first initialize finds the record being loaded.
    if (!record) {
        record = applets->findPending(payload.appletID, payload.appletVersion);
    }
    bool created = false;
    if (!record) {
        std::u16string appletPath;
        payload.document.stringValueForXQuery(u"//applet/@appletPath", appletPath);
        record = applets->createPending(payload.appletID, payload.appletVersion, appletPath);
        created = true;
    }
    const bool loaded = loadApplet(record, payload.instanceID);
    if (created) {
        // Registered by a successful load; otherwise it is not kept anywhere.
        applets->dropPending(record);
    }
    return resultText(loaded);
}

std::u16string handleUnloadUIApplet(Message& message) {
    logLine(kLogProgress, LogComponent::kQor, u"Inside UnloadUIApplet");
    const AppletPayload payload(message.data);
    const std::shared_ptr<AppletRecord> record =
        moduleState().ensureAppletList()->findApplet(payload.appletID, payload.appletVersion);
    if (!record) {
        debugAppletNotRegistered(message.command, payload.appletID, payload.appletVersion);
        return resultText(false);
    }
    return resultText(unloadAppletInstance(record.get(), payload.instanceID));
}

}  // namespace qor
