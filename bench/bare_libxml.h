#pragma once

// The floors of the XML-heavy benchmarks: the work of PropertyChange, ListenPropertyChange and
// LoadBindings done with bare libxml2 calls, set up as well as they can be (one parser context,
// queries compiled once, each payload parsed once), with the same UTF-16 conversions at the edges
// and the same tables, lookups and calls out.

#include <string>
#include <unordered_map>

#include "qor/plugin.h"

namespace qor::bench {

struct EventRow {
    std::u16string propertyName, sourceType, dataXml;
};
struct PropertyRow {
    std::u16string command, viewID, type, id;
};
using EventTable = std::unordered_map<std::u16string, EventRow>;
using PropertyTable = std::unordered_map<std::u16string, PropertyRow>;

// Each returns the result text the handler would give.
std::u16string barePropertyChange(const std::u16string& payload, const EventTable& events,
                                  SendFunction core);
std::u16string bareListenPropertyChange(const MessageRecord& incoming,
                                        const PropertyTable& properties, void* appletLibrary);
std::u16string bareLoadBindings(const std::u16string& payload, EventTable& events,
                                PropertyTable& properties, SendFunction core);

}  // namespace qor::bench
