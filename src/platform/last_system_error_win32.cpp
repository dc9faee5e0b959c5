#include "platform/last_system_error.h"

#include <windows.h>

#include "platform/utf8.h"

namespace qor::platform {

int32_t lastSystemError() {
    return static_cast<int32_t>(GetLastError());
}

std::string systemErrorText(int32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (length != 0 && buffer != nullptr) {
        text.assign(reinterpret_cast<const char16_t*>(buffer), length);
    }
    LocalFree(buffer);
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) {
        text.pop_back();
    }
    return text.empty() ? "system error " + std::to_string(code) : toUtf8(text);
}

}  // namespace qor::platform
