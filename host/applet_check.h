#pragma once

#include <ostream>
#include <string>

namespace qor::host {

// Loads an applet library as QOR does and tells which of the three exports it has (its own ones:
// a name only a dependency exports counts as missing, as it does for QOR), then calls its
// initialize with a sample <CommandLineArguments/> document and its finalize, showing what the
// applet sends and logs meanwhile. Returns 0 when all three exports exist and initialize returned
// 0, 1 when not, 2 when the library cannot be loaded or is QOR itself (refused before any of its
// code runs, as QOR refuses it).
int checkApplet(const std::string& path, std::ostream& out);

}  // namespace qor::host
