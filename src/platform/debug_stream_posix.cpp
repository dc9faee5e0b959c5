#include "platform/debug_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/last_system_error.h"

namespace qor::platform {

DebugStream DebugStream::appendingTo(const std::string& path, std::string& error) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        error = systemErrorText(lastSystemError());
        return standardError();
    }
    return DebugStream(descriptor, true);
}

void DebugStream::close() {
    if (owned_) {
        ::close(static_cast<int>(handle_));
        owned_ = false;
    }
}

void DebugStream::writeLine(std::string_view line) const {
    std::string text(line);
    text.push_back('\n');
    const int descriptor = handle_ == kStandardError ? STDERR_FILENO : static_cast<int>(handle_);
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t count = ::write(descriptor, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return;
        }
        written += static_cast<std::size_t>(count);
    }
}

}  // namespace qor::platform
