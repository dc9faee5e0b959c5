#include "platform/dynamic_library.h"

#include <windows.h>

#include <utility>

#include "platform/last_system_error.h"
#include "platform/mapped_image_win32.h"
#include "platform/process_exit_win32.h"

namespace qor::platform {
namespace {

bool processExiting = false;

// Drops one reference, except at process exit, when the system unmaps everything itself and a
// FreeLibrary under the loader lock could run an applet's detach code in a torn-down process.
void release(void* handle) {
    if (handle != nullptr && !processExiting) {
        FreeLibrary(static_cast<HMODULE>(handle));
    }
}

// The sections of a loaded module that hold code, and QOR's identity if the module carries it,
// from the headers and sections as the loader mapped them.
void readImage(HMODULE module, std::vector<DynamicLibrary::Segment>& executable,
               std::optional<LibraryVersion>& identity) {
    const MemoryByteSource image(readableMapping(module));
    const auto base = reinterpret_cast<uintptr_t>(module);
    for (const PeSection& section : peSections(image)) {
        if ((section.characteristics & kPeSectionExecutable) != 0) {
            const uintptr_t begin = base + section.virtualAddress;
            const uint32_t size = section.virtualSize != 0 ? section.virtualSize : section.rawSize;
            executable.push_back({begin, begin + size});
        }
    }
    identity = identityInPeImage(image, true);
}

}  // namespace

void noteProcessExit() {
    processExiting = true;
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      object_(std::exchange(other.object_, nullptr)),
      executable_(std::move(other.executable_)),
      identity_(std::exchange(other.identity_, std::nullopt)),
      keepLoaded_(std::exchange(other.keepLoaded_, false)),
      error_(std::move(other.error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        drop();
        handle_ = std::exchange(other.handle_, nullptr);
        object_ = std::exchange(other.object_, nullptr);
        executable_ = std::move(other.executable_);
        identity_ = std::exchange(other.identity_, std::nullopt);
        keepLoaded_ = std::exchange(other.keepLoaded_, false);
        error_ = std::move(other.error_);
    }
    return *this;
}

DynamicLibrary::~DynamicLibrary() {
    drop();
}

void DynamicLibrary::drop() {
    if (!keepLoaded_) {
        release(handle_);
    }
    handle_ = nullptr;
    object_ = nullptr;
    executable_.clear();
    identity_.reset();
}

DynamicLibrary DynamicLibrary::open(std::u16string_view path) {
    DynamicLibrary library;
    if (path.empty()) {
        library.error_ = "empty library path";
        return library;
    }
    const std::u16string terminated(path);
    if (terminated.find(u'\0') != std::u16string::npos) {
        library.error_ = "library path contains a zero character";
        return library;
    }
    // No error dialog box for a missing or broken file: the caller reports it. The mode is the
    // calling thread's alone; the process-wide one belongs to the host and its other threads.
    DWORD previousMode = 0;
    const BOOL modeSet =
        SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    HMODULE module = LoadLibraryW(reinterpret_cast<const wchar_t*>(terminated.c_str()));
    const DWORD error = GetLastError();
    if (modeSet) {
        SetThreadErrorMode(previousMode, nullptr);
    }
    if (module == nullptr) {
        library.error_ = systemErrorText(static_cast<int32_t>(error));
        return library;
    }
    library.handle_ = module;
    library.object_ = module;
    readImage(module, library.executable_, library.identity_);
    return library;
}

// GetProcAddress sees the module's own exports only, never those of the DLLs it imports; a
// forwarded export resolves into another module, outside this one's code, and so does not count.
void* DynamicLibrary::function(const char* name) const {
    if (handle_ == nullptr) {
        return nullptr;
    }
    const auto address =
        reinterpret_cast<uintptr_t>(GetProcAddress(static_cast<HMODULE>(handle_), name));
    for (const Segment& section : executable_) {
        if (address >= section.begin && address < section.end) {
            return reinterpret_cast<void*>(address);
        }
    }
    return nullptr;
}

bool DynamicLibrary::contains(const void* address) const {
    HMODULE module = nullptr;
    return handle_ != nullptr &&
           GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(address), &module) != 0 &&
           module == static_cast<HMODULE>(handle_);
}

bool DynamicLibrary::close() {
    if (handle_ == nullptr) {
        return false;
    }
    if (FreeLibrary(static_cast<HMODULE>(handle_)) == 0) {
        error_ = systemErrorText(lastSystemError());
        return false;
    }
    handle_ = nullptr;
    object_ = nullptr;
    executable_.clear();
    identity_.reset();
    return true;
}

}  // namespace qor::platform
