#include "applets/applet_list.h"

#include <algorithm>
#include <cstdint>

#include "plugin/log.h"
#include "plugin/module_state.h"

namespace qor {

std::size_t AppletList::KeyHash::operator()(const Key& key) const {
    // FNV-1a over the code units of both texts, a separator between them: identifiers are short,
    // and this is on the path of every message to an applet.
    uint64_t hash = 14695981039346656037ull;
    const auto mix = [&hash](char16_t unit) { hash = (hash ^ unit) * 1099511628211ull; };
    for (const char16_t unit : key.appletID) {
        mix(unit);
    }
    mix(0xFFFF);  // never a character of either text
    for (const char16_t unit : key.appletVersion) {
        mix(unit);
    }
    return static_cast<std::size_t>(hash);
}

bool AppletList::registerApplet(const std::shared_ptr<AppletRecord>& record) {
    if (!record) {
        return false;
    }
    if (index_.contains(Key{record->appletID, record->appletVersion})) {
        logLine(kLogDuplicate, LogComponent::kAppletManager,
                u"Applet is already registered. Type:%s  ID:%s  Version:%s",
                record->appletType.c_str(), record->appletID.c_str(),
                record->appletVersion.c_str());
        return false;
    }
    logLine(kLogProgress, LogComponent::kAppletManager,
            u"Registering Applet. Type:%s  ID:%s  Version:%s", record->appletType.c_str(),
            record->appletID.c_str(), record->appletVersion.c_str());
    // Listed in both or in neither, also when memory runs out.
    records_.reserve(records_.size() + 1);
    index_.emplace(Key{record->appletID, record->appletVersion}, record);
    records_.push_back(record);
    dropPending(record);
    return true;
}

const std::shared_ptr<AppletRecord>& AppletList::findApplet(
    std::u16string_view appletID, std::u16string_view appletVersion) const {
    static const std::shared_ptr<AppletRecord> none;
    if (appletID.empty()) {
        return none;
    }
    const auto found = index_.find(Key{appletID, appletVersion});
    return found != index_.end() ? found->second : none;
}

std::shared_ptr<AppletRecord> AppletList::createPending(std::u16string_view appletID,
                                                        std::u16string_view appletVersion,
                                                        std::u16string_view appletPath) {
    auto record = std::make_shared<AppletRecord>();
    record->appletID = appletID;
    record->appletVersion = appletVersion;
    record->appletPath = appletPath;
    pending_.push_back(record);
    return record;
}

std::shared_ptr<AppletRecord> AppletList::findPending(std::u16string_view appletID,
                                                      std::u16string_view appletVersion) const {
    if (appletID.empty()) {
        return nullptr;
    }
    const auto found = std::find_if(pending_.begin(), pending_.end(), [&](const auto& record) {
        return record->appletID == appletID && record->appletVersion == appletVersion;
    });
    return found != pending_.end() ? *found : nullptr;
}

void AppletList::dropPending(const std::shared_ptr<AppletRecord>& record) {
    std::erase(pending_, record);
}

void AppletList::clear() {
    index_.clear();
    records_.clear();
    pending_.clear();
}

const std::shared_ptr<AppletList>& ensureAppletList() {
    return madeOnFirstUse(moduleState().applets);
}

}  // namespace qor
