#include "platform/environment.h"

#include <cstdlib>

namespace qor::platform {

std::optional<std::string> environmentVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

bool setEnvironmentVariable(const char* name, const std::optional<std::string>& value) {
    return (value ? setenv(name, value->c_str(), 1) : unsetenv(name)) == 0;
}

}  // namespace qor::platform
