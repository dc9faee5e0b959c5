#include "platform/dynamic_library.h"

#include <dlfcn.h>

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
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) {
            dlclose(handle_);
        }
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
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
    library.handle_ = handle;
    return library;
}

void* DynamicLibrary::symbol(const char* name) const {
    return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
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
    return true;
}

}  // namespace qor::platform
