#include "plugin/module_state.h"

#include "applets/applet_list.h"
#include "bindings/binding_tables.h"
#include "plugin/message_router.h"

namespace qor {

ModuleState::ModuleState() = default;
ModuleState::~ModuleState() = default;

void ModuleState::makeRouter() {
    router = std::make_shared<MessageRouter>();
}

void ModuleState::makeAppletList() {
    applets = std::make_shared<AppletList>();
}

ModuleState theModuleState;

}  // namespace qor
