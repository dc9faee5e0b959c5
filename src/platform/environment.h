#pragma once

#include <optional>
#include <string>

namespace qor::platform {

// An environment variable of this process, as UTF-8; nullopt when it is not set.
std::optional<std::string> environmentVariable(const char* name);

// Sets an environment variable of this process (UTF-8), or removes it for nullopt. False when the
// system refused.
bool setEnvironmentVariable(const char* name, const std::optional<std::string>& value);

}  // namespace qor::platform
