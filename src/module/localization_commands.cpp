#include "module/localization_commands.h"

#include "plugin/log.h"
#include "routing/message_router.h"

namespace qor {

namespace {

std::u16string sendToLocalizationManager(Message& message, std::u16string_view command) {
    message.command = command;
    message.targetID = u"LocManager_CoreExt";
    message.targetInstanceID = u"1";
    message.targetVersion = u"1.0";
    message.targetType = u"Applet";
    // Straight to Core: a loaded applet that happens to carry the manager's name is not asked.
    return std::u16string(ensureRouter()->sendToCore(*message.toRecord()).text());
}

}  // namespace

std::u16string handleLocalizeData(Message& message) {
    logLine(kLogLocalize, LogComponent::kQor, u"Inside LocalizeData");
    return sendToLocalizationManager(message, u"LocalizeData");
}

std::u16string handleGetLocaleForApplet(Message& message) {
    return sendToLocalizationManager(message, u"GetLocaleForApplet");
}

}  // namespace qor
