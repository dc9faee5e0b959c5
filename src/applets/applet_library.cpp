#include "applets/applet_library.h"

namespace qor {

bool AppletLibrary::load(std::u16string_view path) {
    platform::DynamicLibrary library = platform::DynamicLibrary::open(path);
    if (!library.isOpen()) {
        loadError_ = library.error();
        library_.reset();
        return false;
    }
    library_ = std::make_shared<platform::DynamicLibrary>(std::move(library));
    return true;
}

bool AppletLibrary::release() {
    if (!library_) {
        return false;
    }
    // Unpinned, the library can be closed now and a refusal reported; pinned, the last pin
    // closes it when the applet's code has returned.
    if (library_.use_count() == 1 && !library_->close()) {
        return false;
    }
    library_.reset();
    return true;
}

}  // namespace qor
