/*
 * The slider applet: a volume slider. Core moves it with "MoveSlider" (<value>42</value>); the
 * slider then reports its "changed" event to QOR as a PropertyChange, and its bindings turn that
 * into a change of the Core property they name.
 */
#include "sample_applet.h"

static SendFunction toQor;
static LogFunction logLine;
static SampleText appletID;
static SampleText appletVersion;

QOR_EXPORT int32_t initialize(const char16_t* arguments, HostContext* context) {
    /* The context lives only for this call: keep what is needed. */
    toQor = context->sendMessage;
    logLine = context->logMessage;
    sampleElementText(arguments, u"appletID", &appletID);
    sampleElementText(arguments, u"appletVersion", &appletVersion);
    SampleText instance;
    sampleElementText(arguments, u"appletInstanceID", &instance);
    if (logLine != NULL) {
        logLine(30, u"slider", u"SliderApplet", u"", u"", u"slider ready in window %s",
                instance.units);
    }
    return 0;
}

QOR_EXPORT const char16_t* processMessage(const MessageRecord* record,
                                          ReleaseFunction* outRelease) {
    if (!sampleEquals(record->command, u"MoveSlider")) {
        return sampleReply(u"", outRelease);
    }
    SampleText value;
    sampleElementText(record->data, u"value", &value);
    if (logLine != NULL) {
        logLine(30, u"slider", u"SliderApplet", u"", u"", u"slider in window %s moved to %s",
                record->targetInstanceID, value.units);
    }
    /* Report the event on the "slider" component; QOR looks up what it is bound to. */
    SampleText payload;
    sampleClear(&payload);
    sampleAppend(&payload, u"<applet><CommandLineArguments><appletID>");
    sampleAppend(&payload, appletID.units);
    sampleAppend(&payload, u"</appletID><appletVersion>");
    sampleAppend(&payload, appletVersion.units);
    sampleAppend(&payload, u"</appletVersion><instanceID>");
    sampleAppend(&payload, record->targetInstanceID);
    sampleAppend(&payload,
                 u"</instanceID><componentID>slider</componentID>"
                 u"<event>changed</event><value>");
    sampleAppend(&payload, value.units);
    sampleAppend(&payload, u"</value></CommandLineArguments></applet>");
    SampleText reply;
    sampleSendToCore(toQor, appletID.units, u"PropertyChange", payload.units, &reply);
    return sampleReply(reply.units, outRelease);
}

QOR_EXPORT int32_t finalize(const char16_t* ignored) {
    (void)ignored;
    if (logLine != NULL) {
        logLine(30, u"slider", u"SliderApplet", u"", u"", u"slider closed");
    }
    return 0;
}
