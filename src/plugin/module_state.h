#pragma once

#include <memory>

#include "qor/plugin.h"

namespace qor {

class MessageRouter;
class AppletList;
class BindingTables;

// The module-wide objects. Each pointer-held object is made empty by its first user and released
// by finalize. Users take a shared reference for the length of their work, so an object that
// finalize drops while a nested call is under way lives until that work is done.
struct ModuleState {
    // The host's log function; set by initialize, never cleared.
    LogFunction logSlot = nullptr;
    std::shared_ptr<MessageRouter> router;
    std::shared_ptr<AppletList> applets;
    // Reached through ensureBindingTables(); callers copy what they find and hold no reference
    // across a call out, so the tables need no shared ownership.
    std::unique_ptr<BindingTables> bindings;

    ModuleState();
    ~ModuleState();

    // The router and the list, made on first use. Copy the pointer to hold one across a call out.
    const std::shared_ptr<MessageRouter>& ensureRouter() {
        if (!router) {
            makeRouter();
        }
        return router;
    }
    const std::shared_ptr<AppletList>& ensureAppletList() {
        if (!applets) {
            makeAppletList();
        }
        return applets;
    }

  private:
    void makeRouter();
    void makeAppletList();
};

// Made during static construction, before any entry point can run.
extern ModuleState theModuleState;
inline ModuleState& moduleState() {
    return theModuleState;
}

}  // namespace qor
