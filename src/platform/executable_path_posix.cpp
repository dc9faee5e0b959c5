#include "platform/executable_path.h"

namespace qor::platform {

std::filesystem::path executablePath() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self;
}

}  // namespace qor::platform
