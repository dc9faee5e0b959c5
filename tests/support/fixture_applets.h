#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fixture_control.h"
#include "recording_core.h"
#include "support/qor_harness.h"

namespace qor::test {

// What the fixture applets did, and what they are to do, for one test.
class FixtureApplets {
  public:
    FixtureApplets();
    ~FixtureApplets();

    // Hooks; `library` is the applet file's path. A processMessage hook returns the applet's reply
    // (nullopt for a null answer).
    std::function<void(const std::string& library, const std::u16string& arguments,
                       const HostContext& context)>
        onInitialize;
    std::function<std::optional<std::u16string>(const std::string& library,
                                                const host::ReceivedMessage& message)>
        onProcessMessage;
    std::function<void(const std::string& library, const char16_t* argument)> onFinalize;

    // Every call, as "initialize <file>", "processMessage <file> <command>",
    // "finalize <file> null|empty".
    std::vector<std::string> calls;
    // The arguments text of every initialize call, in order.
    std::vector<std::u16string> initializeArguments;
    // The sendMessage of the last context an applet received.
    SendFunction sendMessage = nullptr;

    std::vector<std::string> callsOf(const std::string& prefix) const;

  private:
    static void initializeHook(void* user, const char* library, const char16_t* arguments,
                               const HostContext* context);
    static const char16_t* processMessageHook(void* user, const char* library,
                                              const MessageRecord* record);
    static void finalizeHook(void* user, const char* library, const char16_t* argument);

    std::u16string lastReply_;
};

// A harness with fixture applets, copies of them in a directory of the test's own, and helpers
// for the applet commands.
class AppletHarness : public QorHarness {
  public:
    // True while the library at a path is mapped into the process.
    static bool isMapped(const std::string& path);
    static std::u16string appletPayload(const std::u16string& id, const std::u16string& version,
                                        const std::u16string& instance,
                                        const std::string& path = "");

  protected:
    void SetUp() override;
    void TearDown() override;

    // A copy of a fixture library under another name, so that it loads as another library.
    std::string copyOf(const std::string& library, const std::string& name);
    Reply loadApplet(const std::u16string& id, const std::u16string& version,
                     const std::u16string& instance, const std::string& path);
    Reply unloadApplet(const std::u16string& id, const std::u16string& version,
                       const std::u16string& instance);
    // Sends a message through a SendFunction from inside a hook and returns its reply.
    static std::u16string sendThrough(SendFunction send, const Outgoing& message);

    FixtureApplets applets;
    std::filesystem::path directory;
};

}  // namespace qor::test
