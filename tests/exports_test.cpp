// libqor.so exports exactly its three entry points.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>

namespace {

std::set<std::string> definedDynamicSymbols(const std::string& library) {
    const std::string command = std::string(QOR_NM) + " -D --defined-only " + library;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::set<std::string> names;
    if (!pipe) {
        return names;
    }
    std::array<char, 512> line{};
    while (fgets(line.data(), static_cast<int>(line.size()), pipe.get()) != nullptr) {
        std::istringstream fields(line.data());
        std::string address, type, name;
        if (fields >> address >> type >> name) {
            names.insert(name);
        }
    }
    return names;
}

}  // namespace

TEST(Exports, ExactlyTheThreeEntryPoints) {
    EXPECT_EQ(definedDynamicSymbols(QOR_LIBRARY_PATH),
              (std::set<std::string>{"finalize", "initialize", "processMessage"}));
}
