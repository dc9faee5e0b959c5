#include "platform/environment.h"

#include <windows.h>

#include "platform/utf8.h"

namespace qor::platform {

namespace {

const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace

// The process's own environment block, not the C runtime's copy: what one module sets, every
// other module of the process reads.
std::optional<std::string> environmentVariable(const char* name) {
    const std::u16string wideName = fromUtf8(name);
    std::u16string buffer(64, u'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length =
            GetEnvironmentVariableW(wide(wideName), reinterpret_cast<wchar_t*>(buffer.data()),
                                    static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
                return std::nullopt;
            }
            return std::string();
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return toUtf8(buffer);
        }
        buffer.resize(length);  // the size it needs, the terminator included
    }
}

bool setEnvironmentVariable(const char* name, const std::optional<std::string>& value) {
    const std::u16string wideValue = value ? fromUtf8(*value) : std::u16string();
    return SetEnvironmentVariableW(wide(fromUtf8(name)), value ? wide(wideValue) : nullptr) != 0;
}

}  // namespace qor::platform
