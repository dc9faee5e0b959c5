// What QOR accepts as an applet on Linux: only the library's own exports count, also when a
// dependency exports the same names (hostile_library_test.cpp has the rest).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/fixture_applets.h"

namespace qor::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

using AppletBoundary = AppletHarness;

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

Outgoing toApplet(const std::u16string& id) {
    Outgoing message;
    message.targetType = u"Applet";
    message.targetID = id;
    message.targetVersion = u"1";
    message.command = u"Hello";
    return message;
}

Outgoing toCore() {
    Outgoing message;
    message.command = u"Ping";
    return message;
}

// Applets lacking one export each, over a dependency that exports all three names: a helper
// library, and QOR itself (whose own functions would re-initialise QOR, recurse until the stack
// overflows, or tear QOR down from inside an unload).
TEST_F(AppletBoundary, AnExportOnlyADependencyHasIsMissing) {
    initializeQor();
    const struct {
        std::u16string dependency;
        std::string noInitialize, noProcessMessage, noFinalize;
    } cases[] = {
        {u"helper", QOR_FIXTURE_NO_INITIALIZE_OVER_HELPER,
         QOR_FIXTURE_NO_PROCESS_MESSAGE_OVER_HELPER, QOR_FIXTURE_NO_FINALIZE_OVER_HELPER},
        {u"qor", QOR_FIXTURE_NO_INITIALIZE_OVER_QOR, QOR_FIXTURE_NO_PROCESS_MESSAGE_OVER_QOR,
         QOR_FIXTURE_NO_FINALIZE_OVER_QOR},
    };
    for (const auto& lacking : cases) {
        SCOPED_TRACE(std::string(lacking.dependency.begin(), lacking.dependency.end()));
        const std::u16string noInit = lacking.dependency + u"NoInit";
        const std::u16string noProcess = lacking.dependency + u"NoProcess";
        const std::u16string noFinalize = lacking.dependency + u"NoFinalize";
        core.logs.clear();
        core.received.clear();
        applets.calls.clear();

        EXPECT_EQ(loadApplet(noInit, u"1", u"w1", lacking.noInitialize).text, u"true");
        EXPECT_EQ(loadApplet(noProcess, u"1", u"w1", lacking.noProcessMessage).text, u"true");
        EXPECT_EQ(send(toApplet(noProcess)).text, u"<undefined/>");
        EXPECT_EQ(loadApplet(noFinalize, u"1", u"w1", lacking.noFinalize).text, u"true");
        EXPECT_EQ(unloadApplet(noFinalize, u"1", u"w1").text, u"true");
        EXPECT_EQ(unloadApplet(noInit, u"1", u"w1").text, u"true");
        EXPECT_EQ(unloadApplet(noProcess, u"1", u"w1").text, u"true");
        // QOR still speaks for the host: its context was not replaced by an applet's.
        EXPECT_EQ(send(toCore()).text, u"");
        ASSERT_EQ(core.received.size(), 1u);
        EXPECT_EQ(core.received[0].command, u"Ping");

        // Only the applets' own functions ran, never the dependency's.
        EXPECT_THAT(applets.calls,
                    ElementsAre("initialize " + fileName(lacking.noProcessMessage),
                                "initialize " + fileName(lacking.noFinalize),
                                "finalize " + fileName(lacking.noInitialize) + " empty",
                                "finalize " + fileName(lacking.noProcessMessage) + " empty"));
        EXPECT_THAT(core.logTexts(40),
                    ElementsAre(u"Unable to register callback function for  Applet ID - " + noInit,
                                u"Applet ID - " + noProcess + u" does not export processMessage"));
        EXPECT_THAT(core.logTexts(30),
                    Contains(u"The applet does not have a finalize method exposed"));
        EXPECT_THAT(core.logTexts(30), Not(Contains(u"QOR Initialized")));
        EXPECT_THAT(core.logTexts(30), Not(Contains(u"QOR finalize called")));
        for (const std::string& path :
             {lacking.noInitialize, lacking.noProcessMessage, lacking.noFinalize}) {
            EXPECT_FALSE(isMapped(path)) << path;
        }
    }
}

TEST_F(AppletBoundary, AnAppletWithEveryExportIsNotToldAboutProcessMessage) {
    initializeQor();
    EXPECT_EQ(loadApplet(u"whole", u"1", u"w1", QOR_FIXTURE_APPLET).text, u"true");
    EXPECT_EQ(loadApplet(u"noProcess", u"1", u"w1", QOR_FIXTURE_NO_PROCESS_MESSAGE).text, u"true");
    ASSERT_EQ(core.logTexts(40).size(), 1u);
    const host::LogEntry& line = core.logs[core.logs.size() - 2];
    EXPECT_EQ(line.level, 40);
    EXPECT_EQ(line.component, u"QORAppletManager");
    EXPECT_EQ(line.text, u"Applet ID - noProcess does not export processMessage");
}

}  // namespace
}  // namespace qor::test
