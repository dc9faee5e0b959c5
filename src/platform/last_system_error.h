#pragma once

#include <cstdint>

namespace qor::platform {

// The calling thread's last system error number: errno on Linux, GetLastError() on Windows.
int32_t lastSystemError();

}  // namespace qor::platform
