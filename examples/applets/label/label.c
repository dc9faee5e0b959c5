/*
 * The label applet: shows a text. Its bindings make Core's "volume" property arrive as its own
 * "SetText" command (HandlePropertyChangeFromBL). "GetText" answers the text shown;
 * "ShowCaption" asks Core's localization manager, through QOR, for the localized caption.
 */
#include "sample_applet.h"

static SendFunction toQor;
static LogFunction logLine;
static SampleText appletID;
static SampleText shown;

static void show(const char16_t* instance, const char16_t* text) {
    sampleClear(&shown);
    sampleAppend(&shown, text);
    if (logLine != NULL) {
        logLine(30, u"label", u"LabelApplet", u"", u"", u"label in window %s shows \"%s\"",
                instance, shown.units);
    }
}

QOR_EXPORT int32_t initialize(const char16_t* arguments, HostContext* context) {
    toQor = context->sendMessage;
    logLine = context->logMessage;
    sampleElementText(arguments, u"appletID", &appletID);
    sampleClear(&shown);
    return 0;
}

QOR_EXPORT const char16_t* processMessage(const MessageRecord* record,
                                          ReleaseFunction* outRelease) {
    if (sampleEquals(record->command, u"HandlePropertyChangeFromBL")) {
        SampleText command, value;
        sampleElementText(record->data, u"command", &command);
        sampleElementText(record->data, u"data", &value);
        if (!sampleEquals(command.units, u"SetText")) {
            return sampleReply(u"false", outRelease);
        }
        show(record->targetInstanceID, value.units);
        return sampleReply(u"true", outRelease);
    }
    if (sampleEquals(record->command, u"ShowCaption")) {
        SampleText caption;
        sampleSendToCore(toQor, appletID.units, u"LocalizeData", u"<localize id=\"caption\"/>",
                         &caption);
        show(record->targetInstanceID, caption.units);
        return sampleReply(shown.units, outRelease);
    }
    if (sampleEquals(record->command, u"GetText")) {
        return sampleReply(shown.units, outRelease);
    }
    return sampleReply(u"", outRelease);
}

QOR_EXPORT int32_t finalize(const char16_t* ignored) {
    (void)ignored;
    if (logLine != NULL) {
        logLine(30, u"label", u"LabelApplet", u"", u"", u"label closed");
    }
    return 0;
}
