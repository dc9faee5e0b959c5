/* The smallest useful applet: answers every message with its own payload, built with the SDK's
 * applet helpers. "Shout" also tells Core, through QOR, what was said. */
#include <qor/applet_support.h>

static SendFunction toQor;

QOR_EXPORT int32_t QOR_CALL initialize(const char16_t* arguments, HostContext* context) {
    (void)arguments;
    toQor = context->sendMessage; /* the context lives only for this call */
    return 0;
}

QOR_EXPORT const char16_t* QOR_CALL processMessage(const MessageRecord* record,
                                                   ReleaseFunction* outRelease) {
    if (qorAppletTextEquals(record->command, u"Shout")) {
        QorAppletText said = QOR_APPLET_TEXT_INIT;
        qorAppletTextAppend(&said, u"<said>");
        qorAppletTextAppendEscaped(&said, record->data);
        qorAppletTextAppend(&said, u"</said>");
        qorAppletFree(qorAppletSendToCore(toQor, u"echo", record->targetInstanceID, u"Said",
                                          qorAppletTextGet(&said)));
        return qorAppletReplyText(&said, outRelease);
    }
    return qorAppletReply(record->data, outRelease);
}

QOR_EXPORT int32_t QOR_CALL finalize(const char16_t* ignored) {
    (void)ignored;
    return 0;
}
