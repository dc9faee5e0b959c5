#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "plugin/message.h"

namespace qor {

// A command QOR handles itself: reads and may rewrite the message, returns the caller's result.
using CommandHandler = std::u16string (*)(Message& message);

// The commands QOR handles itself, keyed by exact, case-sensitive name. Empty from library load
// until the first well-formed message, then full until the library is unloaded.
class CommandTable {
  public:
    void insertOrReplace(std::u16string_view command, CommandHandler handler);
    // The handler of a command, or null when the command is not in the table.
    CommandHandler find(std::u16string_view command) const;
    // The same for a caller's zero-terminated text, read no further than the longest command:
    // most messages are not for the table, and the first units past that length tell so.
    CommandHandler find(const char16_t* command) const;
    bool empty() const { return entries_.empty(); }

  private:
    std::map<std::u16string, CommandHandler, std::less<>> entries_;
    // One bit for each command length below 64 that the table holds: most messages are not for
    // the table, and their length alone tells so.
    uint64_t lengths_ = 0;
    std::size_t longest_ = 0;
};

// The module's table; a static object made when the library is loaded.
CommandTable& commandTable();

// Fills the table with QOR's commands if it is empty; does nothing otherwise.
void registerCommands();

// Runs the handler of `command` on `message` and stores its text in `result`; false (and
// `result` untouched) when the command is not in the table.
bool dispatchCommand(std::u16string_view command, Message& message, std::u16string& result);

}  // namespace qor
