#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qor {

// When a component of an applet instance reports an event, this Core property has changed.
struct EventBinding {
    std::u16string propertyName;
    // The type of the event source; stored, read by nothing.
    std::u16string sourceType;
    // The markup of the binding's "data" element, tags included; empty without one.
    std::u16string dataXml;
};

// When Core reports this property changed, the applet instance is told with its own command,
// view, type and identifier.
struct PropertyBinding {
    std::u16string command;
    std::u16string viewID;
    std::u16string type;
    std::u16string id;
};

// "com.zarvo.pqn.<instance>.<applet>.<version>": plain concatenation, nothing escaped, trimmed or
// folded, so parts containing "." can make different instances share a key.
std::u16string appletKey(std::u16string_view instanceID, std::u16string_view appletID,
                         std::u16string_view appletVersion);

// The bindings of every applet instance, keyed by "<applet key>.<component>.<event>" and
// "<applet key>.<property>", matched exactly. Finds hand out copies: nothing from the tables may
// be held across a message sent out, since the receiver may load bindings meanwhile.
class BindingTables {
  public:
    // Inserts, or replaces every field of the record already stored under the key.
    void storeEventBinding(const std::u16string& key, const EventBinding& binding);
    bool findEventBinding(std::u16string_view key, EventBinding& binding) const;
    void storePropertyBinding(const std::u16string& key, const PropertyBinding& binding);
    bool findPropertyBinding(std::u16string_view key, PropertyBinding& binding) const;

    std::size_t eventCount() const { return eventTable_.size(); }
    std::size_t propertyCount() const { return propertyTable_.size(); }

  private:
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::u16string_view key) const {
            return std::hash<std::u16string_view>{}(key);
        }
    };
    template <typename Binding>
    using Table = std::unordered_map<std::u16string, Binding, KeyHash, std::equal_to<>>;

    Table<EventBinding> eventTable_;
    Table<PropertyBinding> propertyTable_;
};

// The module's tables, made empty on first use.
BindingTables& ensureBindingTables();
// Drops every binding (the last step of finalize).
void destroyBindingTables();

}  // namespace qor
