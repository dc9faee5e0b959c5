#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <link.h>

#include <utility>

#include "platform/utf8.h"

namespace qor::platform {
namespace {

std::string lastDlError(const char* fallback) {
    const char* text = dlerror();
    return text != nullptr ? std::string(text) : std::string(fallback);
}

}  // namespace

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      object_(std::exchange(other.object_, nullptr)),
      keepLoaded_(std::exchange(other.keepLoaded_, false)),
      error_(std::move(other.error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        drop();
        handle_ = std::exchange(other.handle_, nullptr);
        object_ = std::exchange(other.object_, nullptr);
        keepLoaded_ = std::exchange(other.keepLoaded_, false);
        error_ = std::move(other.error_);
    }
    return *this;
}

DynamicLibrary::~DynamicLibrary() {
    drop();
}

void DynamicLibrary::drop() {
    if (handle_ != nullptr && !keepLoaded_) {
        dlclose(handle_);
    }
    handle_ = nullptr;
    object_ = nullptr;
}

DynamicLibrary DynamicLibrary::open(std::u16string_view path) {
    return open(path, RTLD_NOW | RTLD_LOCAL);
}

DynamicLibrary DynamicLibrary::openResident(std::u16string_view path) {
    return open(path, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
}

DynamicLibrary DynamicLibrary::open(std::u16string_view path, int flags) {
    DynamicLibrary library;
    if (path.empty()) {
        library.error_ = "empty library path";
        return library;
    }
    const std::string utf8 = toUtf8(path);
    if (utf8.size() != std::char_traits<char>::length(utf8.c_str())) {
        library.error_ = "library path contains a zero character";
        return library;
    }
    void* handle = dlopen(utf8.c_str(), flags);
    if (handle == nullptr) {
        library.error_ = lastDlError("dlopen failed");
        return library;
    }
    link_map* object = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &object) != 0 || object == nullptr) {
        library.error_ = lastDlError("no link map");
        dlclose(handle);
        return library;
    }
    library.handle_ = handle;
    library.object_ = object;
    return library;
}

void* DynamicLibrary::symbol(const char* name) const {
    if (handle_ == nullptr) {
        return nullptr;
    }
    // dlsym searches the library and then its dependencies, in load order; a definition in the
    // library itself always comes first. So the answer is the library's own exactly when it lies
    // in the library's own mapping.
    void* address = dlsym(handle_, name);
    return contains(address) ? address : nullptr;
}

bool DynamicLibrary::contains(const void* address) const {
    if (object_ == nullptr || address == nullptr) {
        return false;
    }
    // The loader's own answer to "which object's segments hold this address", the one dladdr
    // gives, but without dladdr's search for the nearest symbol name (microseconds in a large
    // library, and the router asks on every message).
    dl_find_object found{};
    return _dl_find_object(const_cast<void*>(address), &found) == 0 &&
           found.dlfo_link_map == static_cast<link_map*>(object_);
}

bool DynamicLibrary::close() {
    if (handle_ == nullptr) {
        return false;
    }
    if (dlclose(handle_) != 0) {
        error_ = lastDlError("dlclose failed");
        return false;
    }
    handle_ = nullptr;
    object_ = nullptr;
    return true;
}

}  // namespace qor::platform
