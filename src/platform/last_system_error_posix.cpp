#include "platform/last_system_error.h"

#include <cerrno>

namespace qor::platform {

int32_t lastSystemError() {
    return static_cast<int32_t>(errno);
}

}  // namespace qor::platform
