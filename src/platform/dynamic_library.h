#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/library_identity.h"

namespace qor::platform {

// One reference to a shared library (dlopen on Linux, LoadLibraryW on Windows). Move-only; the
// destructor drops the reference unless keepLoaded() was called. A failed open or close keeps the
// system's text for the failure (dlerror(), or FormatMessageW of GetLastError()), read right after
// the failing call.
class DynamicLibrary {
  public:
    // An address range [begin, end) the library occupies.
    struct Segment {
        uintptr_t begin;
        uintptr_t end;
    };

    DynamicLibrary() = default;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    ~DynamicLibrary();

    // Loads the library at a UTF-16 path (RTLD_NOW | RTLD_LOCAL on Linux). An empty path never
    // loads: dlopen would hand back the main program. On failure the result is not open and
    // error() tells why.
    static DynamicLibrary open(std::u16string_view path);

    bool isOpen() const { return handle_ != nullptr; }

    // The address of a function that this library itself defines and exports, or null. A name
    // that only one of its dependencies defines counts as missing, as it does for GetProcAddress,
    // and so does one that names anything but code: only an address inside one of the library's
    // executable segments (PF_X; on Windows, sections marked IMAGE_SCN_MEM_EXECUTE) is a function.
    void* function(const char* name) const;

    // QOR's identity as the loaded library carries it, read from its mapped image; nothing for
    // any other library.
    const std::optional<LibraryVersion>& identity() const { return identity_; }

    // True when an address lies inside this library's own mapping, e.g. to tell whether the
    // library is the very object some code or data belongs to, whatever path named it.
    bool contains(const void* address) const;

    // True when both references name the same library in the process.
    bool isSameLibraryAs(const DynamicLibrary& other) const {
        return object_ != nullptr && object_ == other.object_;
    }

    // Drops the reference. True on success; on failure the handle is kept and error() tells why.
    bool close();

    // From now on the reference is never dropped: destroying this object leaves the library in
    // the process for good. For code that may still run (a thread an applet started).
    void keepLoaded() { keepLoaded_ = true; }

    const std::string& error() const { return error_; }

  private:
    void drop();

    void* handle_ = nullptr;
    // What identifies the library in the process: the loader's record of it (its link map) on
    // Linux, the module handle on Windows.
    void* object_ = nullptr;
    // Its loaded segments (or sections), read once at open, to tell its own addresses, and those
    // of them that hold code.
    std::vector<Segment> segments_;
    std::vector<Segment> executable_;
    std::optional<LibraryVersion> identity_;
    bool keepLoaded_ = false;
    std::string error_;
};

}  // namespace qor::platform
