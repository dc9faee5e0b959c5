#include "module/command_table.h"

#include <algorithm>
#include <array>
#include <utility>

#include "applets/applet_commands.h"
#include "bindings/load_bindings.h"
#include "bindings/property_change.h"
#include "module/localization_commands.h"

namespace qor {

namespace {

// Made during static construction, before any entry point can run.
CommandTable table;

struct CommandEntry {
    std::u16string_view command;
    CommandHandler handler;
};

// QOR's own commands, in the order they are inserted.
constexpr std::array kCommands{
    CommandEntry{u"LoadUIApplet", handleLoadUIApplet},
    CommandEntry{u"PropertyChange", handlePropertyChange},
    CommandEntry{u"LoadBindings", handleLoadBindings},
    CommandEntry{u"ListenPropertyChange", handleListenPropertyChange},
    CommandEntry{u"LocalizeData", handleLocalizeData},
    CommandEntry{u"UnloadUIApplet", handleUnloadUIApplet},
    CommandEntry{u"GetLocaleForApplet", handleGetLocaleForApplet},
};

}  // namespace

namespace {

uint64_t lengthBit(std::size_t length) {
    return length < 64 ? uint64_t{1} << length : 0;
}

}  // namespace

void CommandTable::insertOrReplace(std::u16string_view command, CommandHandler handler) {
    entries_.insert_or_assign(std::u16string(command), handler);
    lengths_ |= lengthBit(command.size());
    longest_ = std::max(longest_, command.size());
}

CommandHandler CommandTable::find(std::u16string_view command) const {
    if (command.size() < 64 && (lengths_ & lengthBit(command.size())) == 0) {
        return nullptr;
    }
    const auto entry = entries_.find(command);
    return entry != entries_.end() ? entry->second : nullptr;
}

CommandHandler CommandTable::find(const char16_t* command) const {
    std::size_t length = 0;
    while (command[length] != u'\0') {
        if (++length > longest_) {
            return nullptr;
        }
    }
    return find(std::u16string_view(command, length));
}

CommandTable& commandTable() {
    return table;
}

void registerCommands() {
    if (!table.empty()) {
        return;
    }
    for (const CommandEntry& entry : kCommands) {
        table.insertOrReplace(entry.command, entry.handler);
    }
}

bool dispatchCommand(std::u16string_view command, Message& message, std::u16string& result) {
    const CommandHandler handler = table.find(command);
    if (handler == nullptr) {
        return false;
    }
    result = handler(message);
    return true;
}

}  // namespace qor
