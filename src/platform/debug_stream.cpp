#include "platform/debug_stream.h"

#include <utility>

namespace qor::platform {

DebugStream::DebugStream(DebugStream&& other) noexcept
    : handle_(std::exchange(other.handle_, kStandardError)),
      owned_(std::exchange(other.owned_, false)) {}

DebugStream& DebugStream::operator=(DebugStream&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, kStandardError);
        owned_ = std::exchange(other.owned_, false);
    }
    return *this;
}

DebugStream::~DebugStream() {
    close();
}

}  // namespace qor::platform
