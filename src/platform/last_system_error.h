#pragma once

#include <cstdint>
#include <string>

namespace qor::platform {

// The calling thread's last system error number: errno on Linux, GetLastError() on Windows.
int32_t lastSystemError();

// The system's text for such a number (strerror, FormatMessageW with line ends trimmed), as UTF-8;
// the number itself when the system has no text for it.
std::string systemErrorText(int32_t code);

}  // namespace qor::platform
