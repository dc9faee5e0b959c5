#pragma once

#include <stdexcept>
#include <string>

namespace qor::host {

// A file the stand-in host cannot use: missing, unreadable or malformed. Names the file and,
// where known, the line.
class HostError : public std::runtime_error {
  public:
    HostError(const std::string& file, int line, const std::string& message)
        : std::runtime_error(file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " +
                             message) {}
};

}  // namespace qor::host
