#include "platform/debug_stream.h"

#include <windows.h>

#include "platform/last_system_error.h"
#include "platform/utf8.h"

namespace qor::platform {

namespace {

void writeAll(HANDLE handle, const std::string& bytes) {
    for (std::size_t written = 0; written < bytes.size();) {
        DWORD count = 0;
        if (!WriteFile(handle, bytes.data() + written, static_cast<DWORD>(bytes.size() - written),
                       &count, nullptr) ||
            count == 0) {
            return;
        }
        written += count;
    }
}

}  // namespace

DebugStream DebugStream::appendingTo(const std::string& path, std::string& error) {
    const std::u16string widePath = fromUtf8(path);
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(widePath.c_str()), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = systemErrorText(lastSystemError());
        return standardError();
    }
    return DebugStream(reinterpret_cast<intptr_t>(file), true);
}

void DebugStream::close() {
    if (owned_) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
        owned_ = false;
    }
}

// A console gets the text as UTF-16 (its code page need not be UTF-8); a file or pipe gets UTF-8.
// The debugger always gets the line too.
void DebugStream::writeLine(std::string_view line) const {
    const std::u16string wide = fromUtf8(line) + u"\r\n";
    const HANDLE handle = handle_ == kStandardError ? GetStdHandle(STD_ERROR_HANDLE)
                                                    : reinterpret_cast<HANDLE>(handle_);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        // No standard error: the debugger alone.
    } else if (GetConsoleMode(handle, &mode)) {
        DWORD written = 0;
        WriteConsoleW(handle, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        writeAll(handle, std::string(line) + "\n");
    }
    OutputDebugStringW(reinterpret_cast<const wchar_t*>(wide.c_str()));
}

}  // namespace qor::platform
