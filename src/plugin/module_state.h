#pragma once

#include <memory>

#include "qor/plugin.h"

namespace qor {

class MessageRouter;
class AppletList;
class BindingTables;

// The module-wide objects. The foundation only holds them: each is made empty by its first user
// through its own layer's accessor (ensureAppletList, ensureRouter, ensureBindingTables) and
// released by finalize. Users take a shared reference for the length of their work, so an object
// that finalize drops while a nested call is under way lives until that work is done. Shared
// pointers keep their deleter from where the object was made, so this layer needs none of the
// types it holds.
struct ModuleState {
    // The host's log function; set by initialize, never cleared.
    LogFunction logSlot = nullptr;
    std::shared_ptr<MessageRouter> router;
    std::shared_ptr<AppletList> applets;
    // Callers copy what they find in the tables and hold no reference across a call out.
    std::shared_ptr<BindingTables> bindings;
};

// The object in one of the module state's slots, made empty on first use. Called by the object's
// own layer, where its type is complete.
template <typename Object>
const std::shared_ptr<Object>& madeOnFirstUse(std::shared_ptr<Object>& slot) {
    if (!slot) {
        slot = std::make_shared<Object>();
    }
    return slot;
}

// Made during static construction, before any entry point can run.
extern ModuleState theModuleState;
inline ModuleState& moduleState() {
    return theModuleState;
}

}  // namespace qor
