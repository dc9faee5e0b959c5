#pragma once

#include <string>
#include <string_view>

namespace qor::platform {

// One reference to a shared library (dlopen on Linux, LoadLibraryW on Windows). Move-only; the
// destructor drops the reference. A failed open or close keeps the system's text for the failure
// (dlerror(), or FormatMessageW of GetLastError()), read right after the failing call.
class DynamicLibrary {
  public:
    DynamicLibrary() = default;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    ~DynamicLibrary();

    // Loads the library at a UTF-16 path (RTLD_NOW | RTLD_LOCAL on Linux). An empty path never
    // loads: dlopen would hand back the main program. On Windows a path that resolves to the
    // module holding this code (QOR's own DLL) is refused. On failure the result is not open and
    // error() tells why.
    static DynamicLibrary open(std::u16string_view path);
    // The same for a system library whose global state is not made to be unloaded (libX11): it
    // stays in the process after close.
    static DynamicLibrary openResident(std::u16string_view path);

    bool isOpen() const { return handle_ != nullptr; }
    void* handle() const { return handle_; }

    // The address of an exported symbol, or null.
    void* symbol(const char* name) const;

    // Drops the reference. True on success; on failure the handle is kept and error() tells why.
    bool close();

    const std::string& error() const { return error_; }

  private:
    static DynamicLibrary open(std::u16string_view path, int flags);

    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace qor::platform
