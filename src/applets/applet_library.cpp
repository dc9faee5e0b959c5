#include "applets/applet_library.h"

#include "platform/library_identity.h"
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
    const auto refuseQor = [this, path] {
        loadError_ = platform::toUtf8(path) + " is QOR itself, not an applet";
        library_.reset();
        return false;
    };
    // A copy of QOR under any name, found by its identity in the file before any of its code can
    // run. A file that cannot be read here is left to the loader, which tells why.
    if (platform::readLibraryIdentity(path).kind == platform::IdentityReading::Kind::kQor) {
        return refuseQor();
    }
    platform::DynamicLibrary library = platform::DynamicLibrary::open(path);
    if (!library.isOpen()) {
        loadError_ = library.error();
        library_.reset();
        return false;
    }
    // Whatever path named it (absolute, relative, a bare name on the search path, a symlink),
    // the loader hands back the object already in the process; and a copy found by the loader's
    // own search carries the identity in its image. Dropping this extra reference calls none of
    // its exports.
    if (library.contains(&qorAnchor) || library.identity()) {
        return refuseQor();
    }
    exports_.initialize = reinterpret_cast<InitializeFunction>(library.function("initialize"));
    exports_.processMessage = reinterpret_cast<SendFunction>(library.function("processMessage"));
    exports_.finalize = reinterpret_cast<FinalizeFunction>(library.function("finalize"));
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
