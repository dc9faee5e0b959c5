/*
 * The slider applet: a volume slider. Core moves it with "MoveSlider" (<value>42</value>); the
 * slider then reports its "changed" event to QOR as a PropertyChange, and its bindings turn that
 * into a change of the Core property they name.
 */
#include "sample_applet.h"

static SendFunction toQor;
static LogFunction logLine;
static QorAppletText appletID = QOR_APPLET_TEXT_INIT;
static QorAppletText appletVersion = QOR_APPLET_TEXT_INIT;

QOR_EXPORT int32_t QOR_CALL initialize(const char16_t* arguments, HostContext* context) {
    /* The context lives only for this call: keep what is needed. */
    toQor = context->sendMessage;
    logLine = context->logMessage;
    sampleElementText(arguments, u"appletID", &appletID);
    sampleElementText(arguments, u"appletVersion", &appletVersion);
    QorAppletText instance = QOR_APPLET_TEXT_INIT;
    sampleElementText(arguments, u"appletInstanceID", &instance);
    if (logLine != NULL) {
        logLine(30, u"slider", u"SliderApplet", u"", u"", u"slider ready in window %s",
                qorAppletTextGet(&instance));
    }
    qorAppletTextFree(&instance);
    return 0;
}

QOR_EXPORT const char16_t* QOR_CALL processMessage(const MessageRecord* record,
                                                   ReleaseFunction* outRelease) {
    if (!qorAppletTextEquals(record->command, u"MoveSlider")) {
        return qorAppletReply(u"", outRelease);
    }
    const char16_t* instance = record->targetInstanceID;
    QorAppletText value = QOR_APPLET_TEXT_INIT;
    sampleElementText(record->data, u"value", &value);
    if (logLine != NULL) {
        logLine(30, u"slider", u"SliderApplet", u"", u"", u"slider in window %s moved to %s",
                instance, qorAppletTextGet(&value));
    }
    /* Report the event on the "slider" component; QOR looks up what it is bound to. The value
     * was read as markup and goes back as it came. */
    QorAppletText payload = QOR_APPLET_TEXT_INIT;
    qorAppletTextAppend(&payload, u"<applet><CommandLineArguments><appletID>");
    qorAppletTextAppendEscaped(&payload, qorAppletTextGet(&appletID));
    qorAppletTextAppend(&payload, u"</appletID><appletVersion>");
    qorAppletTextAppendEscaped(&payload, qorAppletTextGet(&appletVersion));
    qorAppletTextAppend(&payload, u"</appletVersion><instanceID>");
    qorAppletTextAppendEscaped(&payload, instance);
    qorAppletTextAppend(&payload,
                        u"</instanceID><componentID>slider</componentID>"
                        u"<event>changed</event><value>");
    qorAppletTextAppend(&payload, qorAppletTextGet(&value));
    qorAppletTextAppend(&payload, u"</value></CommandLineArguments></applet>");
    char16_t* answer = qorAppletSendToCore(toQor, qorAppletTextGet(&appletID), instance,
                                           u"PropertyChange", qorAppletTextGet(&payload));
    const char16_t* reply = qorAppletReply(answer != NULL ? answer : u"", outRelease);
    qorAppletFree(answer);
    qorAppletTextFree(&payload);
    qorAppletTextFree(&value);
    return reply;
}

QOR_EXPORT int32_t QOR_CALL finalize(const char16_t* ignored) {
    (void)ignored;
    if (logLine != NULL) {
        logLine(30, u"slider", u"SliderApplet", u"", u"", u"slider closed");
    }
    qorAppletTextFree(&appletID);
    qorAppletTextFree(&appletVersion);
    return 0;
}
