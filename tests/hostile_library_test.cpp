// Libraries that would make QOR jump where no applet code is, or recurse until the stack is gone:
// a copy of QOR itself, exports that are data, and applets that answer each other forever.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/fixture_applets.h"

namespace qor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using HostileLibrary = AppletHarness;

Outgoing toApplet(const std::u16string& id, const std::u16string& command) {
    Outgoing message;
    message.targetType = u"Applet";
    message.targetID = id;
    message.targetVersion = u"1";
    message.command = command;
    return message;
}

// Whatever names QOR's own library, it is refused like a library that cannot be loaded, and none
// of its functions is called: QOR would initialise itself again with an applet's context, and a
// message to it would recurse between the two until the stack overflows. A byte copy carries QOR's
// identity under any name and in any folder and is refused before the loader maps it, so that not
// even its constructors run.
TEST_F(HostileLibrary, QorIsNeverAnAppletWhateverNamesIt) {
    initializeQor();
    const std::filesystem::path qorPath = QOR_LIBRARY_PATH;
    std::filesystem::create_directory(directory / "other");
    const std::string otherFolder = (directory / "other" / qorPath.filename()).string();
    std::filesystem::copy_file(qorPath, otherFolder);
    const std::string copy = copyOf(QOR_LIBRARY_PATH, "qor_copy.so");
    std::vector<std::string> paths = {
        qorPath.string(),
        qorPath.filename().string(),  // the loaded library, by its bare name
        copy, otherFolder};
#if !defined(_WIN32)
    paths.push_back("./" + std::filesystem::relative(qorPath).string());
    const std::filesystem::path link = directory / "innocent.so";
    std::filesystem::create_symlink(qorPath, link);
    paths.push_back(link.string());
#endif
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        core.logs.clear();
        EXPECT_EQ(loadApplet(u"self", u"1", u"w1", path).text, u"false");
        EXPECT_THAT(core.logTexts(),
                    ElementsAre(u"Inside LoadUIApplet", u"Loading Applet - self for WindowID - w1",
                                u"Unable to load Applet ID - self for window ID - w1",
                                u"Load error: " + u16(path) + u" is QOR itself, not an applet"));
        EXPECT_EQ(core.logs.back().level, 40);
        EXPECT_EQ(core.logs.back().component, u"QORAppletManager");
    }
    EXPECT_FALSE(isMapped(copy));
    EXPECT_FALSE(isMapped(otherFolder));
    EXPECT_THAT(applets.calls, IsEmpty());
    // Not registered, and QOR still speaks for the host.
    EXPECT_EQ(unloadApplet(u"self", u"1", u"w1").text, u"false");
    core.received.clear();
    Outgoing toCore;
    toCore.command = u"Ping";
    EXPECT_EQ(send(toCore).text, u"");
    EXPECT_EQ(core.received.size(), 1u);
}

// An exported name that lies in data (a function pointer variable, an array in .bss) is no entry
// point: it is reported and treated as missing, and only the real function is called.
TEST_F(HostileLibrary, OnlyCodeCountsAsAnExport) {
    initializeQor();
    EXPECT_EQ(loadApplet(u"data", u"1", u"w1", QOR_FIXTURE_DATA_EXPORTS).text, u"true");
    EXPECT_THAT(core.logTexts(40),
                ElementsAre(u"Applet ID - data does not export processMessage",
                            u"Unable to register callback function for  Applet ID - data"));
    EXPECT_EQ(send(toApplet(u"data", u"Hello")).text, u"<undefined/>");
    core.logs.clear();
    EXPECT_EQ(unloadApplet(u"data", u"1", u"w1").text, u"true");
    EXPECT_THAT(core.logTexts(30),
                ::testing::Contains(u"Callng the finalize function of the applet"));
    EXPECT_FALSE(isMapped(QOR_FIXTURE_DATA_EXPORTS));
}

// Two applets that answer every message by sending it to the other: QOR answers the call nested
// past its bound as a malformed call, logs that once, and the exchange unwinds.
TEST_F(HostileLibrary, MessagesNestedPastTheBoundAreAnsweredAsMalformed) {
    initializeQor();
    ASSERT_EQ(loadApplet(u"ping", u"1", u"w1", copyOf(QOR_FIXTURE_APPLET, "ping.so")).text,
              u"true");
    ASSERT_EQ(loadApplet(u"pong", u"1", u"w1", copyOf(QOR_FIXTURE_APPLET, "pong.so")).text,
              u"true");
    applets.onProcessMessage = [&](const std::string& library, const host::ReceivedMessage& m) {
        const std::u16string other =
            std::filesystem::path(library).filename() == "ping.so" ? u"pong" : u"ping";
        return sendThrough(applets.sendMessage, toApplet(other, m.command));
    };
    applets.calls.clear();
    core.logs.clear();
    // QOR serves the host's call and 63 nested ones, each reaching an applet; the 65th is refused.
    EXPECT_EQ(send(toApplet(u"ping", u"Hello")).text, u"InvalidArguments");
    EXPECT_EQ(applets.callsOf("processMessage").size(), 64u);
    EXPECT_THAT(core.logTexts(40),
                ElementsAre(u"Message Hello to ping nested deeper than 64 calls, answered as a "
                            u"malformed call"));
    EXPECT_EQ(core.logs.back().component, u"QOR");

    // The bound counts calls in progress: the next exchange starts again from the top.
    applets.onProcessMessage = nullptr;
    EXPECT_EQ(send(toApplet(u"pong", u"Hello")).text, u"<appletReply/>");
}

}  // namespace
}  // namespace qor::test
