#include "support/fixture_applets.h"

#include "support/test_platform.h"

namespace qor::test {

namespace {

std::string fileName(const char* library) {
    return std::filesystem::path(library).filename().string();
}

}  // namespace

FixtureApplets::FixtureApplets() {
    FixtureHooks hooks{};
    hooks.user = this;
    hooks.onInitialize = &FixtureApplets::initializeHook;
    hooks.onProcessMessage = &FixtureApplets::processMessageHook;
    hooks.onFinalize = &FixtureApplets::finalizeHook;
    fixtureSetHooks(&hooks);
}

FixtureApplets::~FixtureApplets() {
    fixtureSetHooks(nullptr);
}

std::vector<std::string> FixtureApplets::callsOf(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& call : calls) {
        if (call.starts_with(prefix)) {
            found.push_back(call);
        }
    }
    return found;
}

void FixtureApplets::initializeHook(void* user, const char* library, const char16_t* arguments,
                                    const HostContext* context) {
    auto& self = *static_cast<FixtureApplets*>(user);
    self.calls.push_back("initialize " + fileName(library));
    self.initializeArguments.emplace_back(arguments);
    self.sendMessage = context->sendMessage;
    if (self.onInitialize) {
        self.onInitialize(library, arguments, *context);
    }
}

const char16_t* FixtureApplets::processMessageHook(void* user, const char* library,
                                                   const MessageRecord* record) {
    auto& self = *static_cast<FixtureApplets*>(user);
    const host::ReceivedMessage message = host::ReceivedMessage::from(*record);
    self.calls.push_back("processMessage " + fileName(library) + " " +
                         std::string(message.command.begin(), message.command.end()));
    std::optional<std::u16string> reply = self.onProcessMessage
                                              ? self.onProcessMessage(library, message)
                                              : std::optional<std::u16string>(u"<appletReply/>");
    if (!reply) {
        return nullptr;
    }
    self.lastReply_ = std::move(*reply);
    return self.lastReply_.c_str();
}

void FixtureApplets::finalizeHook(void* user, const char* library, const char16_t* argument) {
    auto& self = *static_cast<FixtureApplets*>(user);
    self.calls.push_back("finalize " + fileName(library) +
                         (argument == nullptr ? " null" : (*argument == 0 ? " empty" : " text")));
    if (self.onFinalize) {
        self.onFinalize(library, argument);
    }
}

void AppletHarness::SetUp() {
    // The tests that measure the screen start a display of their own.
    forgetDisplay();
    directory = std::filesystem::temp_directory_path() /
                ("qor-test-" + std::to_string(currentProcessId()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(directory);
}

void AppletHarness::TearDown() {
    QorHarness::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}

std::string AppletHarness::copyOf(const std::string& library, const std::string& name) {
    const std::filesystem::path copy = directory / name;
    std::filesystem::copy_file(library, copy, std::filesystem::copy_options::overwrite_existing);
    return copy.string();
}

bool AppletHarness::isMapped(const std::string& path) {
    return isLibraryMapped(path);
}

std::u16string AppletHarness::appletPayload(const std::u16string& id, const std::u16string& version,
                                            const std::u16string& instance,
                                            const std::string& path) {
    return u"<applet appletID='" + id + u"' appletVersion='" + version + u"' instanceID='" +
           instance + u"' appletPath='" + u16(path) + u"'/>";
}

Reply AppletHarness::loadApplet(const std::u16string& id, const std::u16string& version,
                                const std::u16string& instance, const std::string& path) {
    return send(u"LoadUIApplet", appletPayload(id, version, instance, path));
}

Reply AppletHarness::unloadApplet(const std::u16string& id, const std::u16string& version,
                                  const std::u16string& instance) {
    return send(u"UnloadUIApplet", appletPayload(id, version, instance));
}

std::u16string AppletHarness::sendThrough(SendFunction sendFunction, const Outgoing& message) {
    return host::sendMessage(sendFunction, message).value_or(u"<null>");
}

}  // namespace qor::test
