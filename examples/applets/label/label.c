/*
 * The label applet: shows a text. Its bindings make Core's "volume" property arrive as its own
 * "SetText" command (HandlePropertyChangeFromBL). "GetText" answers the text shown;
 * "ShowCaption" asks Core's localization manager, through QOR, for the localized caption.
 */
#include "sample_applet.h"

static SendFunction toQor;
static LogFunction logLine;
static QorAppletText appletID = QOR_APPLET_TEXT_INIT;
static QorAppletText shown = QOR_APPLET_TEXT_INIT;

static void show(const char16_t* instance, const char16_t* text) {
    qorAppletTextClear(&shown);
    qorAppletTextAppend(&shown, text);
    if (logLine != NULL) {
        logLine(30, u"label", u"LabelApplet", u"", u"", u"label in window %s shows \"%s\"",
                instance, qorAppletTextGet(&shown));
    }
}

QOR_EXPORT int32_t QOR_CALL initialize(const char16_t* arguments, HostContext* context) {
    toQor = context->sendMessage;
    logLine = context->logMessage;
    sampleElementText(arguments, u"appletID", &appletID);
    qorAppletTextClear(&shown);
    return 0;
}

QOR_EXPORT const char16_t* QOR_CALL processMessage(const MessageRecord* record,
                                                   ReleaseFunction* outRelease) {
    const char16_t* instance = record->targetInstanceID;
    if (qorAppletTextEquals(record->command, u"HandlePropertyChangeFromBL")) {
        QorAppletText command = QOR_APPLET_TEXT_INIT;
        QorAppletText value = QOR_APPLET_TEXT_INIT;
        sampleElementText(record->data, u"command", &command);
        sampleElementText(record->data, u"data", &value);
        const bool setText = qorAppletTextEquals(qorAppletTextGet(&command), u"SetText");
        if (setText) {
            show(instance, qorAppletTextGet(&value));
        }
        qorAppletTextFree(&command);
        qorAppletTextFree(&value);
        return qorAppletReply(setText ? u"true" : u"false", outRelease);
    }
    if (qorAppletTextEquals(record->command, u"ShowCaption")) {
        char16_t* caption = qorAppletSendToCore(toQor, qorAppletTextGet(&appletID), instance,
                                                u"LocalizeData", u"<localize id=\"caption\"/>");
        show(instance, caption != NULL ? caption : u"");
        qorAppletFree(caption);
        return qorAppletReply(qorAppletTextGet(&shown), outRelease);
    }
    if (qorAppletTextEquals(record->command, u"GetText")) {
        return qorAppletReply(qorAppletTextGet(&shown), outRelease);
    }
    return qorAppletReply(u"", outRelease);
}

QOR_EXPORT int32_t QOR_CALL finalize(const char16_t* ignored) {
    (void)ignored;
    if (logLine != NULL) {
        logLine(30, u"label", u"LabelApplet", u"", u"", u"label closed");
    }
    qorAppletTextFree(&appletID);
    qorAppletTextFree(&shown);
    return 0;
}
