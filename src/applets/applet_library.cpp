#include "applets/applet_library.h"

#include "platform/utf8.h"

namespace qor {

namespace {

// An object of QOR's own library: an applet library that holds it is QOR itself.
const char qorAnchor = 0;

}  // namespace

AppletLibrary::~AppletLibrary() {
    if (library_) {
        library_->keepLoaded();
    }
}

bool AppletLibrary::load(std::u16string_view path) {
    platform::DynamicLibrary library = platform::DynamicLibrary::open(path);
    if (!library.isOpen()) {
        loadError_ = library.error();
        library_.reset();
        return false;
    }
    // Whatever path named it (absolute, relative, a bare name on the search path, a symlink),
    // the loader hands back the object already in the process. Dropping this extra reference
    // runs none of its code.
    if (library.contains(&qorAnchor)) {
        loadError_ = platform::toUtf8(path) + " is QOR itself, not an applet";
        library_.reset();
        return false;
    }
    exports_.initialize = reinterpret_cast<InitializeFunction>(library.symbol("initialize"));
    exports_.processMessage = reinterpret_cast<SendFunction>(library.symbol("processMessage"));
    exports_.finalize = reinterpret_cast<FinalizeFunction>(library.symbol("finalize"));
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
    exports_ = {};
    return true;
}

}  // namespace qor
