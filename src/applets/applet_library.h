#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/dynamic_library.h"

namespace qor {

// The loaded library of one applet. Every call into the applet's code holds a pin, so the library
// stays mapped until the outermost call into it has returned, even when the applet is released
// meanwhile (an applet may ask QOR to unload it from inside its own call).
class AppletLibrary {
  public:
    // Loads the library; false when it cannot be loaded (loadError() tells why).
    bool load(std::u16string_view path);

    bool hasHandle() const { return library_ != nullptr; }

    // A reference that keeps the library mapped while it is held; null when there is no handle.
    std::shared_ptr<platform::DynamicLibrary> pin() const { return library_; }

    // Drops the library. True when it was released (or will be, when the last pin goes); false
    // when there is no handle or the platform refused, and the handle is then kept.
    bool release();

    const std::string& loadError() const { return loadError_; }

  private:
    std::shared_ptr<platform::DynamicLibrary> library_;
    std::string loadError_;
};

}  // namespace qor
