// The platform's library loader and identity reader on their own: what a load, a look-up and a
// reading give for QOR, for applets and for paths that name no library.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "platform/dynamic_library.h"
#include "platform/library_identity.h"
#include "platform/utf8.h"
#include "qor/plugin.h"

namespace qor::test {
namespace {

using platform::DynamicLibrary;
using platform::IdentityReading;
using platform::LibraryVersion;

std::u16string wide(const std::string& path) {
    return platform::fromUtf8(path);
}

constexpr LibraryVersion kVersion{QOR_VERSION_MAJOR, QOR_VERSION_MINOR, QOR_VERSION_PATCH};

TEST(DynamicLibrary, PathsThatNameNoLibraryDoNotOpen) {
    const struct {
        std::u16string path;
        std::string error;  // the error's beginning; empty: the system's text, whatever it is
    } cases[] = {
        {u"", "empty library path"},
        {std::u16string(u"a\0b", 3), "library path contains a zero character"},
        {wide(QOR_NOT_A_LIBRARY), ""},
        {u"/nowhere/applet.so", ""},
    };
    for (const auto& refused : cases) {
        SCOPED_TRACE(platform::toUtf8(refused.path));
        DynamicLibrary library = DynamicLibrary::open(refused.path);
        EXPECT_FALSE(library.isOpen());
        EXPECT_FALSE(library.error().empty());
        EXPECT_EQ(library.error().rfind(refused.error, 0), 0u) << library.error();
        EXPECT_EQ(library.function("initialize"), nullptr);
        EXPECT_FALSE(library.identity());
        EXPECT_FALSE(library.close());
    }
}

// Only the library's own code counts; QOR carries its identity in the mapped image, an applet none.
TEST(DynamicLibrary, FunctionsAreTheLibrarysOwnCodeAndQorCarriesItsIdentity) {
    DynamicLibrary applet = DynamicLibrary::open(wide(QOR_FIXTURE_APPLET));
    ASSERT_TRUE(applet.isOpen()) << applet.error();
    EXPECT_FALSE(applet.identity());
    void* initialize = applet.function("initialize");
    EXPECT_NE(initialize, nullptr);
    EXPECT_TRUE(applet.contains(initialize));
    EXPECT_EQ(applet.function("noSuchFunction"), nullptr);

    DynamicLibrary data = DynamicLibrary::open(wide(QOR_FIXTURE_DATA_EXPORTS));
    ASSERT_TRUE(data.isOpen()) << data.error();
    EXPECT_EQ(data.function("initialize"), nullptr);
    EXPECT_EQ(data.function("processMessage"), nullptr);
    EXPECT_NE(data.function("finalize"), nullptr);

    DynamicLibrary qor = DynamicLibrary::open(wide(QOR_LIBRARY_PATH));
    ASSERT_TRUE(qor.isOpen()) << qor.error();
    ASSERT_TRUE(qor.identity());
    EXPECT_EQ(*qor.identity(), kVersion);
    EXPECT_FALSE(qor.isSameLibraryAs(applet));

#if !defined(_WIN32)
    // A system library, already loaded, whose notes are 8-byte aligned: its code is a function,
    // its data (environ, stdin) is not.
    DynamicLibrary libc = DynamicLibrary::open(u"libc.so.6");
    ASSERT_TRUE(libc.isOpen()) << libc.error();
    EXPECT_FALSE(libc.identity());
    EXPECT_NE(libc.function("malloc"), nullptr);
    EXPECT_EQ(libc.function("environ"), nullptr);
    EXPECT_EQ(libc.function("stdin"), nullptr);
#endif

    // Moved, the reference goes with its segments and identity; closed, nothing is left.
    DynamicLibrary moved(std::move(qor));
    EXPECT_FALSE(qor.isOpen());  // NOLINT(bugprone-use-after-move): the moved-from state
    EXPECT_TRUE(moved.identity());
    applet = std::move(moved);
    EXPECT_TRUE(applet.identity());
    DynamicLibrary& same = applet;
    applet = std::move(same);  // onto itself: nothing changes
    EXPECT_TRUE(applet.identity());
    EXPECT_NE(applet.function("processMessage"), nullptr);
    EXPECT_TRUE(applet.close());
    EXPECT_FALSE(applet.isOpen());
    EXPECT_FALSE(applet.identity());
    EXPECT_EQ(applet.function("processMessage"), nullptr);
    EXPECT_FALSE(applet.close());
}

TEST(LibraryIdentity, TheFileTellsQorFromAnyOtherFile) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "qor_identity";
    std::filesystem::create_directories(folder);
    const std::string copy = (folder / "renamed.dat").string();
    std::filesystem::copy_file(QOR_LIBRARY_PATH, copy,
                               std::filesystem::copy_options::overwrite_existing);
    const struct {
        std::string path;
        IdentityReading::Kind kind;
    } cases[] = {
        {QOR_LIBRARY_PATH, IdentityReading::Kind::kQor},
        {copy, IdentityReading::Kind::kQor},
        {QOR_FIXTURE_APPLET, IdentityReading::Kind::kNotQor},
#if defined(_WIN32)
        // Windows reads what its loader maps, and it maps no text file.
        {QOR_NOT_A_LIBRARY, IdentityReading::Kind::kUnreadable},
#else
        {QOR_NOT_A_LIBRARY, IdentityReading::Kind::kNotQor},
#endif
        {folder.string(), IdentityReading::Kind::kUnreadable},
        {"/nowhere/applet.so", IdentityReading::Kind::kUnreadable},
        {"", IdentityReading::Kind::kUnreadable},
    };
    for (const auto& file : cases) {
        SCOPED_TRACE(file.path);
        const IdentityReading reading = platform::readLibraryIdentity(wide(file.path));
        EXPECT_EQ(reading.kind, file.kind) << reading.error;
        EXPECT_EQ(reading.error.empty(), file.kind != IdentityReading::Kind::kUnreadable);
        if (file.kind == IdentityReading::Kind::kQor) {
            EXPECT_EQ(reading.version, kVersion);
        }
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace qor::test
