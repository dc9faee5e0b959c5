#include "support/test_platform.h"

#include <array>

namespace qor::test {

std::string readAll(std::FILE* stream) {
    std::string text;
    std::array<char, 4096> buffer{};
    std::size_t read = 0;
    while ((read = std::fread(buffer.data(), 1, buffer.size(), stream)) > 0) {
        text.append(buffer.data(), read);
    }
    return text;
}

}  // namespace qor::test
