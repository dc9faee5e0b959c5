#include "applets/applet_record.h"

#include <algorithm>

namespace qor {

bool AppletRecord::addInstance(std::u16string_view instanceID) {
    if (std::find(instanceIDs.begin(), instanceIDs.end(), instanceID) != instanceIDs.end()) {
        return false;
    }
    instanceIDs.emplace_back(instanceID);
    return true;
}

bool AppletRecord::removeInstance(std::u16string_view instanceID) {
    if (instanceIDs.empty()) {
        return false;
    }
    const auto found = std::find(instanceIDs.begin(), instanceIDs.end(), instanceID);
    if (found == instanceIDs.end()) {
        return false;
    }
    instanceIDs.erase(found);
    return true;
}

}  // namespace qor
