#include "plugin/module_state.h"

#include "applets/applet_list.h"
#include "bindings/binding_tables.h"
#include "plugin/message_router.h"

namespace qor {

namespace {

template <typename T>
const std::shared_ptr<T>& ensure(std::shared_ptr<T>& slot) {
    if (!slot) {
        slot = std::make_shared<T>();
    }
    return slot;
}

}  // namespace

ModuleState::ModuleState() = default;
ModuleState::~ModuleState() = default;

const std::shared_ptr<MessageRouter>& ModuleState::ensureRouter() {
    return ensure(router);
}

const std::shared_ptr<AppletList>& ModuleState::ensureAppletList() {
    return ensure(applets);
}

ModuleState theModuleState;

}  // namespace qor
