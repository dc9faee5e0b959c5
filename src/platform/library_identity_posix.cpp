#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_descriptor.h"
#include "platform/last_system_error.h"
#include "platform/library_identity.h"
#include "platform/utf8.h"

namespace qor::platform {
namespace {

// The bytes of an open file, read with pread: a short read is a missing byte.
class FileByteSource : public ByteSource {
  public:
    FileByteSource(int descriptor, uint64_t size) : descriptor_(descriptor), size_(size) {}

    bool read(uint64_t offset, void* out, std::size_t size) const override {
        if (offset > size_ || size > size_ - offset) {
            return false;
        }
        auto* into = static_cast<char*>(out);
        while (size > 0) {
            const ssize_t got = ::pread(descriptor_, into, size, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return false;
            }
            into += got;
            offset += static_cast<uint64_t>(got);
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

  private:
    int descriptor_;
    uint64_t size_;
};

}  // namespace

IdentityReading readLibraryIdentity(std::u16string_view path) {
    const std::string utf8 = toUtf8(path);
    if (utf8.empty() || utf8.size() != std::char_traits<char>::length(utf8.c_str())) {
        return IdentityReading::unreadable("not a file name");
    }
    // dlopen finds a name without a slash on its search path, not in the current directory.
    if (utf8.find('/') == std::string::npos) {
        return IdentityReading::unreadable("a bare name, found only by the loader's search");
    }
    // Non-blocking, so that a FIFO in its place cannot hold the caller; refused below.
    const FileDescriptor file(::open(utf8.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file.isOpen()) {
        return IdentityReading::unreadable(systemErrorText(lastSystemError()));
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        return IdentityReading::unreadable(systemErrorText(lastSystemError()));
    }
    if (!S_ISREG(status.st_mode)) {
        return IdentityReading::unreadable("not a regular file");
    }
    const FileByteSource source(file.get(), static_cast<uint64_t>(status.st_size));
    return IdentityReading::of(identityInElfFile(source));
}

}  // namespace qor::platform
