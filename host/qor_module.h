#pragma once

#include <string>

#include "platform/dynamic_library.h"
#include "qor/plugin.h"

namespace qor::host {

// libqor.so as a host sees it: loaded with dlopen, reached through its three exports.
class QorModule {
  public:
    // Loads the library; throws std::runtime_error with the platform's reason on failure, and
    // when the library does not carry QOR's identity (an applet, say, whose three exports would
    // otherwise pass).
    explicit QorModule(const std::string& path);

    // The version of the QOR library at `path`, read from its identity without running any of its
    // code; throws std::runtime_error when it cannot be read or the library is not QOR.
    static platform::LibraryVersion versionOf(const std::string& path);

    int32_t initialize(const char16_t* arguments, HostContext* context) const {
        return initialize_(arguments, context);
    }
    const char16_t* processMessage(const MessageRecord* record, ReleaseFunction* outRelease) const {
        return processMessage_(record, outRelease);
    }
    int32_t finalize() const { return finalize_(nullptr); }

    // The export itself, as a SendFunction to hand on.
    SendFunction processMessageFunction() const { return processMessage_; }

  private:
    platform::DynamicLibrary library_;
    decltype(&::initialize) initialize_ = nullptr;
    decltype(&::processMessage) processMessage_ = nullptr;
    decltype(&::finalize) finalize_ = nullptr;
};

}  // namespace qor::host
