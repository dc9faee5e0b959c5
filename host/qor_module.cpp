#include "qor_module.h"

#include <stdexcept>

#include "platform/utf8.h"
#include "xml_file.h"

namespace qor::host {

namespace {

template <typename Function>
Function exportOf(const platform::DynamicLibrary& library, const char* name,
                  const std::string& path) {
    void* address = library.symbol(name);
    if (address == nullptr) {
        throw std::runtime_error(path + ": no export \"" + name + "\"");
    }
    return reinterpret_cast<Function>(address);
}

}  // namespace

QorModule::QorModule(const std::string& path)
    : library_(platform::DynamicLibrary::open(platform::fromUtf8(path))) {
    if (!library_.isOpen()) {
        throw std::runtime_error("cannot load " + path + resolvedFromHere(path) + ": " +
                                 library_.error());
    }
    initialize_ = exportOf<decltype(initialize_)>(library_, "initialize", path);
    processMessage_ = exportOf<decltype(processMessage_)>(library_, "processMessage", path);
    finalize_ = exportOf<decltype(finalize_)>(library_, "finalize", path);
}

}  // namespace qor::host
