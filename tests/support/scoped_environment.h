#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/environment.h"

namespace qor::test {

// Sets environment variables of this process (and of the programs it starts) for the length of a
// scope, and puts the old values back.
class ScopedEnvironment {
  public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (auto at = saved_.rbegin(); at != saved_.rend(); ++at) {
            platform::setEnvironmentVariable(at->first.c_str(), at->second);
        }
    }

    // Sets a variable, or removes it for nullopt.
    void set(const char* name, const std::optional<std::string>& value) {
        saved_.emplace_back(name, platform::environmentVariable(name));
        platform::setEnvironmentVariable(name, value);
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace qor::test
