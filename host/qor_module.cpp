#include "qor_module.h"

#include <stdexcept>

#include "platform/utf8.h"
#include "xml_file.h"

namespace qor::host {

namespace {

template <typename Function>
Function exportOf(const platform::DynamicLibrary& library, const char* name,
                  const std::string& path) {
    void* address = library.function(name);
    if (address == nullptr) {
        throw std::runtime_error(path + ": no export \"" + name + "\"");
    }
    return reinterpret_cast<Function>(address);
}

std::runtime_error notQor(const std::string& path) {
    return std::runtime_error(path + resolvedFromHere(path) +
                              ": not a QOR library (it carries no QOR identity)");
}

// The library, once its file is known to be QOR's or cannot be read before loading it.
platform::DynamicLibrary openQor(const std::string& path) {
    const std::u16string widePath = platform::fromUtf8(path);
    if (platform::readLibraryIdentity(widePath).kind == platform::IdentityReading::Kind::kNotQor) {
        throw notQor(path);
    }
    platform::DynamicLibrary library = platform::DynamicLibrary::open(widePath);
    if (!library.isOpen()) {
        throw std::runtime_error("cannot load " + path + resolvedFromHere(path) + ": " +
                                 library.error());
    }
    if (!library.identity()) {
        throw notQor(path);
    }
    return library;
}

}  // namespace

QorModule::QorModule(const std::string& path) : library_(openQor(path)) {
    initialize_ = exportOf<decltype(initialize_)>(library_, "initialize", path);
    processMessage_ = exportOf<decltype(processMessage_)>(library_, "processMessage", path);
    finalize_ = exportOf<decltype(finalize_)>(library_, "finalize", path);
}

platform::LibraryVersion QorModule::versionOf(const std::string& path) {
    const platform::IdentityReading reading =
        platform::readLibraryIdentity(platform::fromUtf8(path));
    switch (reading.kind) {
        case platform::IdentityReading::Kind::kQor:
            return reading.version;
        case platform::IdentityReading::Kind::kNotQor:
            throw notQor(path);
        case platform::IdentityReading::Kind::kUnreadable:
            break;
    }
    throw std::runtime_error("cannot read " + path + resolvedFromHere(path) + ": " + reading.error);
}

}  // namespace qor::host
