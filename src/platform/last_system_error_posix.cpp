#include "platform/last_system_error.h"

#include <cerrno>
#include <cstring>

namespace qor::platform {

int32_t lastSystemError() {
    return static_cast<int32_t>(errno);
}

std::string systemErrorText(int32_t code) {
    return std::strerror(code);
}

}  // namespace qor::platform
