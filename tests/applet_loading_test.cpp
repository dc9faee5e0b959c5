// LoadUIApplet and UnloadUIApplet with real fixture applets, through the real libqor.so.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/directory_part.h"
#include "platform/screen_resolution.h"
#include "support/fixture_applets.h"
#include "support/test_platform.h"
#include "support/text_matchers.h"
#include "xml/xml_parser.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using AppletLoading = AppletHarness;

std::vector<std::pair<std::u16string, std::u16string>> childrenOf(const std::u16string& xml) {
    xml::XMLParser document;
    EXPECT_TRUE(document.initWithXMLString(xml)) << "arguments are a document";
    xml::XmlElement root;
    document.getRootNode(root);
    std::u16string name;
    document.getMapOfNode(root, name);
    EXPECT_EQ(name, u"CommandLineArguments");
    std::vector<std::pair<std::u16string, std::u16string>> children;
    int32_t count = 0;
    const xml::XmlNodeList list = document.getChildNodesOfNode(root, &count);
    for (int32_t i = 0; i < count; ++i) {
        const xml::XmlElement child = document.getNodeAtIndexFromNodeList(list, i);
        std::u16string text;
        document.getMapOfNode(child, name);
        int32_t grandchildren = 0;
        if (document.getChildNodesOfNode(child, &grandchildren)) {
            const std::u16string query = u"/CommandLineArguments/" + name;
            document.stringValueForXQuery(query, text);
        }
        children.emplace_back(name, text);
    }
    return children;
}

std::u16string screenValue(int32_t dpi) {
    return u16(std::to_string(dpi));
}

std::vector<std::u16string> managerLines(const host::RecordingCore& core) {
    std::vector<std::u16string> lines;
    for (const host::LogEntry& entry : core.logs) {
        lines.push_back(u16(std::to_string(entry.level)) + u" " + entry.component + u": " +
                        entry.text);
    }
    return lines;
}

TEST(DirectoryPart, EverythingBeforeTheLastSeparator) {
    static_assert(platform::directoryPartAt(u"/apps/foo/foo.so", u'/') == u"/apps/foo");
    static_assert(platform::directoryPartAt(u"foo.so", u'/') == u"foo.so");
    static_assert(platform::directoryPartAt(u"/apps/foo/", u'/') == u"/apps/foo");
    static_assert(platform::directoryPartAt(u"D:\\Apps\\Foo\\foo.dll", u'\\') == u"D:\\Apps\\Foo");
    static_assert(platform::directoryPartAt(u"foo.dll", u'\\') == u"foo.dll");
    static_assert(platform::directoryPartAt(u"D:/Apps/Foo/foo.dll", u'\\') ==
                  u"D:/Apps/Foo/foo.dll");
    static_assert(platform::directoryPartAt(u"D:\\Apps\\Foo\\", u'\\') == u"D:\\Apps\\Foo");
    static_assert(platform::directoryPartAt(u"", u'\\') == u"");
    SUCCEED();
}

TEST_F(AppletLoading, LoadsInitializesAndUnloadsWithItsLastInstance) {
    initializeQor();
    const std::string path = copyOf(QOR_FIXTURE_APPLET, "calc.so");
    core.logs.clear();

    EXPECT_EQ(loadApplet(u"calc", u"2", u"w1", path).text, u"true");
    EXPECT_TRUE(isMapped(path));
    ASSERT_EQ(applets.initializeArguments.size(), 1u);
    // Linux: no display in the tests, 0 and 0; Windows: the desktop's own resolution.
    const platform::ScreenResolution screen = platform::screenResolution();
    using Child = std::pair<std::u16string, std::u16string>;
    EXPECT_THAT(
        childrenOf(applets.initializeArguments[0]),
        ElementsAre(Child{u"appletID", u"calc"}, Child{u"appletVersion", u"2"},
                    Child{u"appletInstanceID", u"w1"}, Child{u"appletDIR", u16(directory.string())},
                    Child{u"dpi_x", screenValue(screen.dpiX)},
                    Child{u"dpi_y", screenValue(screen.dpiY)},
                    Child{u"isHighDPI", screen.isHighDpi() ? u"1" : u"0"}));
    // The applet's context sends to QOR itself.
    EXPECT_EQ(applets.sendMessage, qor.processMessageFunction());

    EXPECT_EQ(loadApplet(u"calc", u"2", u"w2", path).text, u"true");
    EXPECT_EQ(loadApplet(u"calc", u"2", u"w2", path).text, u"false");
    EXPECT_EQ(unloadApplet(u"calc", u"2", u"w1").text, u"true");
    EXPECT_TRUE(isMapped(path));
    EXPECT_EQ(unloadApplet(u"calc", u"2", u"w9").text, u"false");
    EXPECT_EQ(unloadApplet(u"calc", u"2", u"w2").text, u"true");
    EXPECT_FALSE(isMapped(path));
    EXPECT_EQ(unloadApplet(u"calc", u"2", u"w2").text, u"false");

    EXPECT_THAT(applets.calls, ElementsAre("initialize calc.so", "finalize calc.so empty"));
    EXPECT_THAT(
        managerLines(core),
        ElementsAre(
            u"30 QOR: Inside LoadUIApplet",
            u"30 QORAppletManager: Loading Applet - calc for WindowID - w1",
            u"30 QORAppletManager: Registering Applet. Type:  ID:calc  Version:2",
            u"30 QOR: Inside LoadUIApplet",
            u"30 QORAppletManager: Loading Applet - calc for WindowID - w2",
            u"30 QOR: Inside LoadUIApplet",
            u"30 QORAppletManager: Loading Applet - calc for WindowID - w2",
            u"40 QORAppletManager: Applet ID - calc is already loaded for instance ID - w2",
            u"30 QOR: Inside UnloadUIApplet",
            u"30 QORAppletManager: Un-loading Applet - calc for instance ID - w1",
            u"30 QOR: Inside UnloadUIApplet",
            u"30 QORAppletManager: Un-loading Applet - calc for instance ID - w9",
            u"40 QORAppletManager: Applet ID - calc is not loaded for Window ID - w9, cannot "
            u"unload Applet",
            u"30 QOR: Inside UnloadUIApplet",
            u"30 QORAppletManager: Un-loading Applet - calc for instance ID - w2",
            u"30 QORAppletManager: Callng the finalize function of the applet",
            u"30 QORAppletManager: Unloading applet", u"30 QOR: Inside UnloadUIApplet",
            u"30 QORAppletManager: Un-loading Applet - calc for instance ID - w2",
            u"40 QORAppletManager: Applet ID - calc is not loaded, cannot unload Applet"));
}

#ifdef _WIN32
// No dialog box for a broken applet, and the host's process-wide error mode left alone: the
// loading thread's mode alone is set while the library is mapped.
TEST_F(AppletLoading, TheErrorModeIsTheLoadingThreadsAlone) {
    initializeQor();
    const UINT hostMode = SetErrorMode(0);
    EXPECT_EQ(loadApplet(u"calc", u"2", u"w1", QOR_FIXTURE_APPLET).text, u"true");
    const UINT modeAfter = GetErrorMode();
    SetErrorMode(hostMode);
    EXPECT_EQ(fixtureProcessErrorModeAtLoad(), 0u);
    EXPECT_EQ(fixtureThreadErrorModeAtLoad() & SEM_FAILCRITICALERRORS,
              static_cast<unsigned>(SEM_FAILCRITICALERRORS));
    EXPECT_EQ(modeAfter, 0u);
    EXPECT_EQ(GetThreadErrorMode() & SEM_FAILCRITICALERRORS, 0u);
}
#endif

TEST_F(AppletLoading, ReloadingUsesTheStoredPathAndInitializesAgain) {
    initializeQor();
    const std::string path = copyOf(QOR_FIXTURE_APPLET, "label.so");
    ASSERT_EQ(loadApplet(u"label", u"1", u"w1", path).text, u"true");
    ASSERT_EQ(unloadApplet(u"label", u"1", u"w1").text, u"true");
    core.logs.clear();
    // The payload's path is ignored for a registered applet.
    EXPECT_EQ(loadApplet(u"label", u"1", u"w3", "/nowhere/else.so").text, u"true");
    EXPECT_THAT(applets.callsOf("initialize"),
                ElementsAre("initialize label.so", "initialize label.so"));
    EXPECT_THAT(core.logTexts(20),
                ElementsAre(u"Applet is already registered. Type:  ID:label  Version:1"));
    EXPECT_EQ(childrenOf(applets.initializeArguments[1])[2].second, u"w3");
}

TEST_F(AppletLoading, AFailedLoadSaysWhyAndKeepsNoRecord) {
    initializeQor();
    const std::string missing = (directory / "missing.so").string();
    const struct {
        std::string path;
        const char16_t* reason;
    } failures[] = {
        {missing, loadFailureReasons().missingFile},
        {QOR_NOT_A_LIBRARY, loadFailureReasons().notALibrary},
        {directory.string(), loadFailureReasons().directory},
        {"", u"empty library path"},
        {std::string(5000, 'x'), loadFailureReasons().nameTooLong},
    };
    for (const auto& failure : failures) {
        core.logs.clear();
        EXPECT_EQ(loadApplet(u"broken", u"1", u"w1", failure.path).text, u"false");
        ASSERT_EQ(core.logs.size(), 4u);
        EXPECT_EQ(core.logs[2].level, 40);
        EXPECT_EQ(core.logs[2].text, u"Unable to load Applet ID - broken for window ID - w1");
        EXPECT_EQ(core.logs[3].component, u"QORAppletManager");
        EXPECT_THAT(core.logs[3].text, Contains16(u"Load error: "));
        EXPECT_THAT(core.logs[3].text, Contains16(failure.reason));
    }
    EXPECT_THAT(applets.calls, IsEmpty());
    // Not registered: a corrected path makes a fresh record that loads.
    EXPECT_EQ(loadApplet(u"broken", u"1", u"w1", copyOf(QOR_FIXTURE_APPLET, "fixed.so")).text,
              u"true");
    EXPECT_THAT(applets.calls, ElementsAre("initialize fixed.so"));
}

TEST_F(AppletLoading, MissingExportsAreToleratedAsSpecified) {
    initializeQor();
    EXPECT_EQ(loadApplet(u"noInit", u"1", u"w1", QOR_FIXTURE_NO_INITIALIZE).text, u"true");
    EXPECT_THAT(core.logTexts(40),
                ElementsAre(u"Unable to register callback function for  Applet ID - noInit"));
    EXPECT_EQ(loadApplet(u"noFinalize", u"1", u"w1", QOR_FIXTURE_NO_FINALIZE).text, u"true");
    core.logs.clear();
    EXPECT_EQ(unloadApplet(u"noFinalize", u"1", u"w1").text, u"true");
    EXPECT_THAT(
        core.logTexts(30),
        ElementsAre(u"Inside UnloadUIApplet",
                    u"Un-loading Applet - noFinalize for instance ID - w1",
                    u"The applet does not have a finalize method exposed", u"Unloading applet"));
    EXPECT_FALSE(isMapped(QOR_FIXTURE_NO_FINALIZE));
}

TEST_F(AppletLoading, IdentifierAndVersionNameDifferentApplets) {
    initializeQor();
    const std::string one = copyOf(QOR_FIXTURE_APPLET, "one.so");
    const std::string two = copyOf(QOR_FIXTURE_APPLET, "two.so");
    EXPECT_EQ(loadApplet(u"calc", u"1", u"w1", one).text, u"true");
    EXPECT_EQ(loadApplet(u"calc", u"2", u"w1", two).text, u"true");
    EXPECT_EQ(loadApplet(u"Calc", u"1", u"w1", "/missing.so").text, u"false");
    EXPECT_THAT(applets.callsOf("initialize"),
                ElementsAre("initialize one.so", "initialize two.so"));

    core.logs.clear();
    EXPECT_EQ(unloadApplet(u"calc", u"3", u"w1").text, u"false");
    EXPECT_EQ(unloadApplet(u"calc", u"2", u"").text, u"false");
    EXPECT_THAT(core.logTexts(), ElementsAre(u"Inside UnloadUIApplet", u"Inside UnloadUIApplet",
                                             u"Applet/Window ID is empty!"));
}

TEST_F(AppletLoading, ModuleFinalizeUnloadsEveryAppletInOrder) {
    initializeQor();
    const std::string first = copyOf(QOR_FIXTURE_APPLET, "first.so");
    const std::string second = copyOf(QOR_FIXTURE_APPLET, "second.so");
    const std::string gone = copyOf(QOR_FIXTURE_APPLET, "gone.so");
    const std::string nameless = copyOf(QOR_FIXTURE_NO_INITIALIZE, "nameless.so");
    ASSERT_EQ(loadApplet(u"first", u"1", u"w1", first).text, u"true");
    ASSERT_EQ(loadApplet(u"gone", u"1", u"w1", gone).text, u"true");
    ASSERT_EQ(loadApplet(u"second", u"1", u"w1", second).text, u"true");
    ASSERT_EQ(loadApplet(u"", u"1", u"w1", nameless).text, u"true");
    ASSERT_EQ(unloadApplet(u"gone", u"1", u"w1").text, u"true");
    core.logs.clear();
    applets.calls.clear();

    EXPECT_EQ(qor.finalize(), 0);
    EXPECT_THAT(applets.calls, ElementsAre("finalize first.so null", "finalize second.so null"));
    EXPECT_FALSE(isMapped(first));
    EXPECT_FALSE(isMapped(second));
    // The record without an identifier is not unloaded: its library never had its finalize, so
    // it stays in the process.
    EXPECT_TRUE(isMapped(nameless));
    EXPECT_THAT(
        managerLines(core),
        ElementsAre(u"30 QOR: QOR finalize called",
                    u"30 QORAppletManager: Un-loading Applet - first",
                    u"30 QORAppletManager: Callng the finalize function of the applet",
                    u"30 QORAppletManager: Unloading applet",
                    u"30 QORAppletManager: Un-loading Applet - gone",
                    u"40 QORAppletManager: Applet ID - gone is not loaded, cannot unload Applet",
                    u"30 QORAppletManager: Un-loading Applet - second",
                    u"30 QORAppletManager: Callng the finalize function of the applet",
                    u"30 QORAppletManager: Unloading applet",
                    u"40 QORAppletManager: Applet/Window ID is empty!"));
    // The registry is gone: the applets are unknown now.
    EXPECT_EQ(unloadApplet(u"first", u"1", u"w1").text, u"false");
}

}  // namespace
}  // namespace qor::test
