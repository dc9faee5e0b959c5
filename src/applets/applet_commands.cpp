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

// Drops a record created for a load from the list's pending records when the load is over,
// also when it ends with an exception.
class PendingRecord {
  public:
    PendingRecord(AppletList& list, std::shared_ptr<AppletRecord> record)
        : list_(list), record_(std::move(record)) {}
    PendingRecord(const PendingRecord&) = delete;
    PendingRecord& operator=(const PendingRecord&) = delete;
    ~PendingRecord() {
        if (record_) {
            list_.dropPending(record_);
        }
    }

  private:
    AppletList& list_;
    std::shared_ptr<AppletRecord> record_;
};

std::u16string resultText(bool success) {
    return success ? u"true" : u"false";
}

}  // namespace

std::u16string handleLoadUIApplet(Message& message) {
    logLine(kLogProgress, LogComponent::kQor, u"Inside LoadUIApplet");
    AppletPayload payload(message.data);
    const std::shared_ptr<AppletList> applets = ensureAppletList();
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
    // Registered by a successful load; otherwise, however the load ends, it is kept nowhere.
    const PendingRecord pending(*applets, created ? record : nullptr);
    return resultText(loadApplet(record, payload.instanceID));
}

std::u16string handleUnloadUIApplet(Message& message) {
    logLine(kLogProgress, LogComponent::kQor, u"Inside UnloadUIApplet");
    const AppletPayload payload(message.data);
    const std::shared_ptr<AppletRecord> record =
        ensureAppletList()->findApplet(payload.appletID, payload.appletVersion);
    if (!record) {
        debugAppletNotRegistered(message.command, payload.appletID, payload.appletVersion);
        return resultText(false);
    }
    return resultText(unloadAppletInstance(record.get(), payload.instanceID));
}

}  // namespace qor
