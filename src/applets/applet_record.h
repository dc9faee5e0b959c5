#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "applets/applet_library.h"

namespace qor {

// One applet, identified by (appletID, appletVersion). All its instances (Core's windows) share
// the record, its library and its processMessage.
struct AppletRecord {
    std::u16string appletID;
    // Never set by QOR; printed in the registration log lines.
    std::u16string appletType;
    std::u16string appletVersion;
    // Set once, when the record is made.
    std::u16string appletPath;
    // Null until the first load attempt and again after a successful unload. Shared so that an
    // unload in progress keeps its library object when a nested call replaces it.
    std::shared_ptr<AppletLibrary> library;
    bool loaded = false;
    // True while the library is being released (the applet's finalize may be running): a load for
    // another instance is refused then, so that no instance is added to a library on its way out.
    bool releasing = false;
    // In the order they were added; no two equal.
    std::vector<std::u16string> instanceIDs;

    int32_t instanceCount() const { return static_cast<int32_t>(instanceIDs.size()); }

    // Appends an instance; false (and no change) when it is already there.
    bool addInstance(std::u16string_view instanceID);
    // Removes an instance, keeping the others in order; false when it is not there.
    bool removeInstance(std::u16string_view instanceID);
};

}  // namespace qor
