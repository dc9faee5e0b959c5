#pragma once

#include <stdexcept>
#include <string>

namespace qor::host {

// A file the stand-in host cannot use: missing, unreadable or malformed. Names the file and,
// where known, the line.
class HostError : public std::runtime_error {
  public:
    HostError(const std::string& file, int line, const std::string& message)
        : std::runtime_error(located(file, line, message)) {}

  private:
    static std::string located(const std::string& file, int line, const std::string& message) {
        std::string text = file;
        if (line > 0) {
            text.append(":").append(std::to_string(line));
        }
        return text.append(": ").append(message);
    }
};

}  // namespace qor::host
