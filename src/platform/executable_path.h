#pragma once

#include <filesystem>

namespace qor::platform {

// The file of the running program; empty when the system cannot tell.
std::filesystem::path executablePath();

}  // namespace qor::platform
