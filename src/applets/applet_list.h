#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "applets/applet_record.h"

namespace qor {

// The registry: every applet QOR has loaded at least once, in registration order, with at most one
// record per (appletID, appletVersion). Records stay listed until the module is finalized.
class AppletList {
  public:
    // Appends a record unless one with the same identifier and version is listed (that refusal is
    // logged at level 20). False for null.
    bool registerApplet(const std::shared_ptr<AppletRecord>& record);

    // The listed record with exactly this identifier and version, or null. An empty identifier
    // matches nothing. The reference is valid until the list changes; copy it to keep the record.
    const std::shared_ptr<AppletRecord>& findApplet(std::u16string_view appletID,
                                                    std::u16string_view appletVersion) const;

    // Records made by LoadUIApplet whose first load is under way. They are not listed (the router
    // never finds them), but a LoadUIApplet nested in the applet's initialize finds and reuses its
    // record. Registration moves a record from here into the list.
    std::shared_ptr<AppletRecord> createPending(std::u16string_view appletID,
                                                std::u16string_view appletVersion,
                                                std::u16string_view appletPath);
    std::shared_ptr<AppletRecord> findPending(std::u16string_view appletID,
                                              std::u16string_view appletVersion) const;
    void dropPending(const std::shared_ptr<AppletRecord>& record);

    std::size_t size() const { return records_.size(); }
    // The record at a position in registration order.
    const std::shared_ptr<AppletRecord>& at(std::size_t position) const {
        return records_[position];
    }
    // Forgets every record, listed or pending.
    void clear();

  private:
    struct Key {
        std::u16string_view appletID;
        std::u16string_view appletVersion;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };

    std::vector<std::shared_ptr<AppletRecord>> records_;
    // Keys view the texts of the records they map to; a listed record's identity never changes.
    std::unordered_map<Key, std::shared_ptr<AppletRecord>, KeyHash> index_;
    std::vector<std::shared_ptr<AppletRecord>> pending_;
};

// The module's list, made on first use. Copy the pointer to hold the list across a call out.
const std::shared_ptr<AppletList>& ensureAppletList();

}  // namespace qor
