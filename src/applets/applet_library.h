#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/dynamic_library.h"
#include "qor/plugin.h"

namespace qor {

// The three entry points of an applet, looked up once when its library is loaded: only names the
// library defines itself count. Null where it has none.
struct AppletExports {
    InitializeFunction initialize = nullptr;
    SendFunction processMessage = nullptr;
    FinalizeFunction finalize = nullptr;
};

// The loaded library of one applet. Every call into the applet's code holds a pin, so the library
// stays mapped until the outermost call into it has returned, even when the applet is released
// meanwhile (an applet may ask QOR to unload it from inside its own call).
//
// Only release(), which the unload operations call once the applet's finalize has had its turn,
// takes a library out of the process. An AppletLibrary destroyed while it still holds its library
// (its record dropped at module finalize, a record nobody could register, QOR's own library
// unloaded without finalize, process exit) leaves the library mapped for good: code the applet
// started in its initialize, a thread for instance, may still be running and must not lose its
// instructions.
class AppletLibrary {
  public:
    AppletLibrary() = default;
    AppletLibrary(const AppletLibrary&) = delete;
    AppletLibrary& operator=(const AppletLibrary&) = delete;
    ~AppletLibrary();

    // Loads the library; false when it cannot be loaded or is QOR's own library (loadError()
    // tells why). QOR's library is let go again without any of its code being called.
    bool load(std::u16string_view path);

    bool hasHandle() const { return library_ != nullptr; }

    // A reference that keeps the library mapped while it is held; null when there is no handle.
    std::shared_ptr<platform::DynamicLibrary> pin() const { return library_; }

    // The library's entry points; all null when there is no handle. Valid while a pin is held.
    const AppletExports& exports() const { return exports_; }

    // True when both hold a reference to the same library in the process.
    bool holdsSameLibraryAs(const AppletLibrary& other) const {
        return library_ && other.library_ && library_->isSameLibraryAs(*other.library_);
    }

    // Drops the library. True when it was released (or will be, when the last pin goes); false
    // when there is no handle or the platform refused, and the handle is then kept.
    bool release();

    const std::string& loadError() const { return loadError_; }

  private:
    std::shared_ptr<platform::DynamicLibrary> library_;
    AppletExports exports_;
    std::string loadError_;
};

}  // namespace qor
