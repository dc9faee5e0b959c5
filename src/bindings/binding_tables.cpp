#include "bindings/binding_tables.h"

#include "plugin/module_state.h"

namespace qor {

std::u16string appletKey(std::u16string_view instanceID, std::u16string_view appletID,
                         std::u16string_view appletVersion) {
    std::u16string key = u"com.zarvo.pqn.";
    key.reserve(key.size() + instanceID.size() + appletID.size() + appletVersion.size() + 2);
    key.append(instanceID).append(u".").append(appletID).append(u".").append(appletVersion);
    return key;
}

void BindingTables::storeEventBinding(const std::u16string& key, const EventBinding& binding) {
    eventTable_.insert_or_assign(key, binding);
}

bool BindingTables::findEventBinding(std::u16string_view key, EventBinding& binding) const {
    const auto found = eventTable_.find(key);
    if (found == eventTable_.end()) {
        return false;
    }
    binding = found->second;
    return true;
}

void BindingTables::storePropertyBinding(const std::u16string& key,
                                         const PropertyBinding& binding) {
    propertyTable_.insert_or_assign(key, binding);
}

bool BindingTables::findPropertyBinding(std::u16string_view key, PropertyBinding& binding) const {
    const auto found = propertyTable_.find(key);
    if (found == propertyTable_.end()) {
        return false;
    }
    binding = found->second;
    return true;
}

BindingTables& ensureBindingTables() {
    return *madeOnFirstUse(moduleState().bindings);
}

void destroyBindingTables() {
    moduleState().bindings.reset();
}

}  // namespace qor
