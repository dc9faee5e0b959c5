#include <windows.h>

#include "platform/last_system_error.h"
#include "platform/library_identity.h"
#include "platform/mapped_image_win32.h"

namespace qor::platform {
namespace {

// A module mapped as an image resource: never initialised, never run.
class DataModule {
  public:
    explicit DataModule(HMODULE module) : module_(module) {}
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;
    ~DataModule() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    HMODULE get() const { return module_; }

  private:
    HMODULE module_;
};

}  // namespace

// Reading the image the loader maps needs no parsing of the file: LoadLibraryExW with
// LOAD_LIBRARY_AS_IMAGE_RESOURCE finds the file as LoadLibraryW would and maps its sections
// where they belong, without resolving imports or calling DllMain. Only the pages the mapping
// holds are read.
IdentityReading readLibraryIdentity(std::u16string_view path) {
    const std::u16string terminated(path);
    if (terminated.empty() || terminated.find(u'\0') != std::u16string::npos) {
        return IdentityReading::unreadable("not a file name");
    }
    // No error dialog box for a missing or broken file, on this thread alone.
    DWORD previousMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    const DataModule module(
        LoadLibraryExW(reinterpret_cast<const wchar_t*>(terminated.c_str()), nullptr,
                       LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
    const DWORD error = GetLastError();
    SetThreadErrorMode(previousMode, nullptr);
    if (module.get() == nullptr) {
        return IdentityReading::unreadable(systemErrorText(static_cast<int32_t>(error)));
    }
    // The low bits of the handle tell how it is mapped: 1 as a flat file, 2 (or none, for a module
    // already loaded) as an image.
    const auto handle = reinterpret_cast<uintptr_t>(module.get());
    const auto* base = reinterpret_cast<const void*>(handle & ~uintptr_t{3});
    const bool mapped = (handle & 1) == 0;
    const MemoryByteSource source(readableMapping(base));
    return IdentityReading::of(identityInPeImage(source, mapped));
}

}  // namespace qor::platform
