#include "load_bindings_payload.h"

#include <memory>
#include <new>

#include "host_error.h"
#include "qor/host_support.h"

namespace qor::host {

std::u16string loadBindingsPayload(const std::string& path, const std::string& text,
                                   const std::u16string& appletID,
                                   const std::u16string& appletVersion,
                                   const std::u16string& instanceID) {
    char* error = nullptr;
    const std::unique_ptr<char16_t, void (*)(void*)> payload(
        qorLoadBindingsPayload(appletID.c_str(), appletVersion.c_str(), instanceID.c_str(),
                               text.c_str(), &error),
        &qorFreeText);
    const std::unique_ptr<char, void (*)(void*)> reason(error, &qorFreeText);
    if (payload) {
        return payload.get();
    }
    if (!reason) {
        throw std::bad_alloc();
    }
    // "line 3: what" becomes the file's line 3.
    std::string message = reason.get();
    int line = 0;
    if (message.starts_with("line ")) {
        const std::size_t colon = message.find(": ");
        line = std::stoi(message.substr(5, colon - 5));
        message.erase(0, colon + 2);
    }
    throw HostError(path, line, "cannot be sent in a LoadBindings payload: " + message);
}

}  // namespace qor::host
