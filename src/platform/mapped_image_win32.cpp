#include "platform/mapped_image_win32.h"

#include <windows.h>

namespace qor::platform {

std::span<const unsigned char> readableMapping(const void* base) {
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    const auto* start = static_cast<const unsigned char*>(base);
    MEMORY_BASIC_INFORMATION first{};
    if (VirtualQuery(start, &first, sizeof first) == 0) {
        return {};
    }
    std::size_t size = 0;
    for (const unsigned char* at = start;;) {
        MEMORY_BASIC_INFORMATION info{};
        if (VirtualQuery(at, &info, sizeof info) == 0 ||
            info.AllocationBase != first.AllocationBase || info.State != MEM_COMMIT ||
            (info.Protect & kReadable) == 0 || (info.Protect & PAGE_GUARD) != 0) {
            break;
        }
        // The first region may begin before the base.
        const auto* regionEnd =
            static_cast<const unsigned char*>(info.BaseAddress) + info.RegionSize;
        size += static_cast<std::size_t>(regionEnd - at);
        at = regionEnd;
    }
    return {start, size};
}

}  // namespace qor::platform
