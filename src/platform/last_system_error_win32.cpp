#include "platform/last_system_error.h"

#include <windows.h>

namespace qor::platform {

int32_t lastSystemError() {
    return static_cast<int32_t>(GetLastError());
}

}  // namespace qor::platform
