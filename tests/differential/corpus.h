#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "outgoing_message.h"

namespace qor::differential {

// One thing a case does: a message from Core, a message from the fixture applet (through the
// sendMessage QOR gave it), or QOR's finalize.
struct CorpusStep {
    enum class Kind { kSend, kAppletSend, kFinalize };

    std::string location;  // "file:line"
    Kind kind = Kind::kSend;
    host::OutgoingMessage message;
};

// A message sequence played between one initialize and one finalize of QOR.
struct CorpusCase {
    std::string name;
    std::string location;
    std::vector<CorpusStep> steps;
};

// A corpus file that cannot be read; what() names the file and line.
class CorpusError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads a corpus file (the format is described in tests/differential/README.md). `${NAME}` in a
// value stands for variables.at(NAME).
std::vector<CorpusCase> readCorpus(const std::string& path,
                                   const std::map<std::string, std::u16string>& variables);

}  // namespace qor::differential
