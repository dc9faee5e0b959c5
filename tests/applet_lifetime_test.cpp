// When an applet's library leaves the process: only after its finalize. The worker fixture runs a
// thread of its own from initialize to finalize, so a library unmapped any earlier crashes the
// test program.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "support/allocation_failure.h"
#include "support/fixture_applets.h"

namespace qor::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

Outgoing command(const std::u16string& name, const std::u16string& data) {
    Outgoing message;
    message.command = name;
    message.data = data;
    return message;
}

// The worker applet at a path, seen from outside QOR.
class Worker {
  public:
    explicit Worker(std::string path) : path_(std::move(path)) {}

    // True when the library is mapped and its thread goes on making rounds.
    bool running() const {
        void* library = dlopen(path_.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (library == nullptr) {
            return false;
        }
        const auto beats = reinterpret_cast<long (*)()>(dlsym(library, "fixtureWorkerBeats"));
        bool advanced = false;
        if (beats != nullptr) {
            const long before = beats();
            for (int wait = 0; wait < 1000 && !advanced; ++wait) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                advanced = beats() > before + 2;
            }
        }
        dlclose(library);
        return advanced;
    }

    // Stops the thread through the applet's own finalize, for a library QOR left in the process.
    void stop() const {
        void* library = dlopen(path_.c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(library, nullptr) << path_;
        const auto finalize = reinterpret_cast<decltype(&::finalize)>(dlsym(library, "finalize"));
        ASSERT_NE(finalize, nullptr);
        finalize(u"");
        dlclose(library);
    }

  private:
    std::string path_;
};

using AppletLifetime = AppletHarness;

TEST_F(AppletLifetime, TheLastUnloadFinalizesBeforeUnmapping) {
    initializeQor();
    const std::string path = copyOf(QOR_FIXTURE_WORKER, "worker.so");
    ASSERT_EQ(loadApplet(u"worker", u"1", u"w1", path).text, u"true");
    EXPECT_TRUE(Worker(path).running());
    EXPECT_EQ(unloadApplet(u"worker", u"1", u"w1").text, u"true");
    EXPECT_FALSE(isMapped(path));
}

// A record without an identifier is never unloaded at module finalize: its library stays.
TEST_F(AppletLifetime, ANamelessAppletKeepsRunningAfterModuleFinalize) {
    initializeQor();
    const std::string path = copyOf(QOR_FIXTURE_WORKER, "nameless.so");
    ASSERT_EQ(loadApplet(u"", u"1", u"w1", path).text, u"true");
    applets.calls.clear();
    qor.finalize();
    EXPECT_THAT(core.logTexts(40), Contains(u"Applet/Window ID is empty!"));
    EXPECT_TRUE(applets.calls.empty());
    const Worker worker(path);
    EXPECT_TRUE(worker.running());
    worker.stop();
}

// Core finalizes QOR and loads the applet again, with another library, while the first library's
// initialize is still waiting for Core. The first record can no longer be registered; its library
// has a running thread and no finalize, so it stays.
TEST_F(AppletLifetime, AnAppletNobodyCouldRegisterKeepsRunning) {
    initializeQor();
    const std::string first = copyOf(QOR_FIXTURE_WORKER, "first.so");
    const std::string second = copyOf(QOR_FIXTURE_APPLET, "second.so");
    const SendFunction qorSend = qor.processMessageFunction();
    const host::QorModule& module = qor;
    std::u16string secondLoad;
    core.onMessage = [&](const host::ReceivedMessage& m) -> std::optional<std::u16string> {
        if (m.command == u"Restart") {
            module.finalize();
            secondLoad = sendThrough(
                qorSend, command(u"LoadUIApplet", appletPayload(u"calc", u"1", u"w2", second)));
        }
        return u"";
    };
    applets.onInitialize = [&](const std::string& library, const std::u16string&,
                               const HostContext& context) {
        if (library.ends_with("first.so")) {
            sendThrough(context.sendMessage, command(u"Restart", u""));
        }
    };
    EXPECT_EQ(loadApplet(u"calc", u"1", u"w1", first).text, u"true");
    EXPECT_EQ(secondLoad, u"true");
    EXPECT_THAT(core.logTexts(20),
                ElementsAre(u"Applet is already registered. Type:  ID:calc  Version:1"));
    const Worker worker(first);
    EXPECT_TRUE(worker.running());
    worker.stop();
    EXPECT_EQ(unloadApplet(u"calc", u"1", u"w2").text, u"true");
    EXPECT_FALSE(isMapped(second));
}

// The host unloads libqor.so without calling its finalize: QOR's static objects go, and its
// applets stay, running. In a child process with no harness, so that this test alone decides
// whether libqor.so leaves the process.
[[noreturn]] void unloadQorWithoutFinalize(const std::string& workerPath) {
    if (AppletHarness::isMapped(QOR_LIBRARY_PATH)) {
        _exit(2);
    }
    {
        host::RecordingCore core;
        const host::QorModule qor(QOR_LIBRARY_PATH);
        HostContext context = core.context();
        if (qor.initialize(u"", &context) != 0) {
            _exit(3);
        }
        const Outgoing message = command(
            u"LoadUIApplet", AppletHarness::appletPayload(u"worker", u"1", u"w1", workerPath));
        const MessageRecord load = message.record();
        ReleaseFunction release = nullptr;
        const char16_t* answer = qor.processMessage(&load, &release);
        if (answer == nullptr || release == nullptr || std::u16string_view(answer) != u"true") {
            _exit(4);
        }
        release(answer);
    }
    if (AppletHarness::isMapped(QOR_LIBRARY_PATH)) {
        _exit(5);  // QOR's static objects were not destroyed: nothing was tried
    }
    const Worker worker(workerPath);
    if (!worker.running()) {
        _exit(6);
    }
    worker.stop();
    _exit(0);
}

// Memory that runs out once the applet's initialize has run (here, for the copy of a long
// instance identifier): the call is answered as every exhausted allocator is, with a null result;
// the applet is finalized and leaves the process, and no record of the load stays behind, so the
// next load initializes the applet anew.
TEST_F(AppletLifetime, ALoadThatRunsOutOfMemoryLeavesNeitherRecordNorLibrary) {
    initializeQor();
    const std::string library = copyOf(QOR_FIXTURE_APPLET, "exhausted.so");
    const std::u16string instance(20000, u'w');
    std::optional<LargeAllocationsFail> exhausted;
    applets.onInitialize = [&](const std::string&, const std::u16string&, const HostContext&) {
        exhausted.emplace(16 * 1024);
    };
    const Reply failed = loadApplet(u"exhausted", u"1", instance, library);
    exhausted.reset();
    applets.onInitialize = nullptr;
    EXPECT_EQ(failed.text, std::nullopt);
    EXPECT_THAT(applets.calls,
                ElementsAre("initialize exhausted.so", "finalize exhausted.so empty"));
    EXPECT_FALSE(isMapped(library));
    EXPECT_EQ(loadApplet(u"exhausted", u"1", instance, library).text, u"true");
    EXPECT_THAT(applets.calls, Contains("initialize exhausted.so").Times(2));
}

TEST(AppletLifetimeWithoutHarness, UnloadingQorWithoutFinalizeLeavesItsAppletsRunning) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("qor-orphan-" + std::to_string(getpid()) + ".so");
    std::filesystem::copy_file(QOR_FIXTURE_WORKER, path,
                               std::filesystem::copy_options::overwrite_existing);
    EXPECT_EXIT(unloadQorWithoutFinalize(path.string()), ::testing::ExitedWithCode(0), "");
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace qor::test
