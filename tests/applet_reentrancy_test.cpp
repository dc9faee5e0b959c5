// Applets and Core calling back into QOR while QOR waits for them: nothing may crash, leak or be
// unloaded twice, and no library may leave the process while its code is running.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fixture_control.h"
#include "support/fixture_applets.h"

namespace qor::test {
namespace {

using ::testing::ElementsAre;

using AppletReentrancy = AppletHarness;

Outgoing command(const std::u16string& name, const std::u16string& data) {
    Outgoing message;
    message.command = name;
    message.data = data;
    return message;
}

TEST_F(AppletReentrancy, AnAppletUnloadsItselfFromItsOwnProcessMessage) {
    initializeQor();
    const std::string path = copyOf(QOR_FIXTURE_APPLET, "self.so");
    ASSERT_EQ(loadApplet(u"self", u"1", u"w1", path).text, u"true");
    applets.onProcessMessage = [&](const std::string&, const host::ReceivedMessage&) {
        const std::u16string unloaded = sendThrough(
            applets.sendMessage, command(u"UnloadUIApplet", appletPayload(u"self", u"1", u"w1")));
        EXPECT_EQ(unloaded, u"true");
        EXPECT_TRUE(isMapped(path));  // still running here
        return u"bye";
    };
    Outgoing message;
    message.targetType = u"Applet";
    message.targetID = u"self";
    message.targetVersion = u"1";
    message.command = u"Close";
    EXPECT_EQ(send(message).text, u"bye");
    EXPECT_FALSE(isMapped(path));
    EXPECT_THAT(applets.calls, ElementsAre("initialize self.so", "processMessage self.so Close",
                                           "finalize self.so empty"));
}

TEST_F(AppletReentrancy, CoreUnloadsAnAppletThatIsWaitingForIt) {
    initializeQor();
    const std::string path = copyOf(QOR_FIXTURE_APPLET, "asker.so");
    ASSERT_EQ(loadApplet(u"asker", u"1", u"w1", path).text, u"true");
    const SendFunction qorSend = qor.processMessageFunction();
    core.onMessage = [&](const host::ReceivedMessage& m) -> std::optional<std::u16string> {
        if (m.command == u"Question") {
            return sendThrough(qorSend,
                               command(u"UnloadUIApplet", appletPayload(u"asker", u"1", u"w1")));
        }
        return u"";
    };
    applets.onProcessMessage = [&](const std::string&, const host::ReceivedMessage&) {
        return u"answer:" + sendThrough(applets.sendMessage, command(u"Question", u""));
    };
    Outgoing message;
    message.targetType = u"Applet";
    message.targetID = u"asker";
    message.targetVersion = u"1";
    message.command = u"Ask";
    EXPECT_EQ(send(message).text, u"answer:true");
    EXPECT_FALSE(isMapped(path));
    EXPECT_EQ(fixtureOutstandingTexts(), 0);
}

TEST_F(AppletReentrancy, AnAppletLoadsItselfAgainFromItsFirstInitialize) {
    initializeQor();
    const std::string path = copyOf(QOR_FIXTURE_APPLET, "twice.so");
    int initializations = 0;
    applets.onInitialize = [&](const std::string&, const std::u16string&,
                               const HostContext& context) {
        if (++initializations == 1) {
            EXPECT_EQ(
                sendThrough(context.sendMessage,
                            command(u"LoadUIApplet", appletPayload(u"twice", u"1", u"w2", path))),
                u"true");
            // Nor may it unload what is still being loaded.
            EXPECT_EQ(sendThrough(context.sendMessage,
                                  command(u"UnloadUIApplet", appletPayload(u"twice", u"1", u"w9"))),
                      u"false");
        }
    };
    EXPECT_EQ(loadApplet(u"twice", u"1", u"w1", path).text, u"true");
    EXPECT_EQ(loadApplet(u"twice", u"1", u"w1", path).text, u"false");  // one record, w1 in it
    EXPECT_EQ(unloadApplet(u"twice", u"1", u"w2").text, u"true");
    EXPECT_TRUE(isMapped(path));
    EXPECT_EQ(unloadApplet(u"twice", u"1", u"w1").text, u"true");
    EXPECT_FALSE(isMapped(path));
    EXPECT_THAT(applets.calls, ElementsAre("initialize twice.so", "initialize twice.so",
                                           "finalize twice.so empty"));
}

// Loaded and unloaded again for another instance from inside its first initialize: the first load
// still stands, with a library behind it, and its own unload finalizes the applet once more.
TEST_F(AppletReentrancy, AnAppletLoadsAndUnloadsItselfFromItsFirstInitialize) {
    initializeQor();
    const std::string path = copyOf(QOR_FIXTURE_APPLET, "restless.so");
    int initializations = 0;
    applets.onInitialize = [&](const std::string&, const std::u16string&,
                               const HostContext& context) {
        if (++initializations == 1) {
            EXPECT_EQ(sendThrough(
                          context.sendMessage,
                          command(u"LoadUIApplet", appletPayload(u"restless", u"1", u"w2", path))),
                      u"true");
            EXPECT_EQ(
                sendThrough(context.sendMessage,
                            command(u"UnloadUIApplet", appletPayload(u"restless", u"1", u"w2"))),
                u"true");
        }
    };
    EXPECT_EQ(loadApplet(u"restless", u"1", u"w1", path).text, u"true");
    Outgoing message;
    message.targetType = u"Applet";
    message.targetID = u"restless";
    message.targetVersion = u"1";
    message.command = u"Hello";
    EXPECT_EQ(send(message).text, u"<appletReply/>");
    EXPECT_EQ(unloadApplet(u"restless", u"1", u"w1").text, u"true");
    EXPECT_FALSE(isMapped(path));
    EXPECT_THAT(applets.calls,
                ElementsAre("initialize restless.so", "initialize restless.so",
                            "finalize restless.so empty", "processMessage restless.so Hello",
                            "finalize restless.so empty"));
}

TEST_F(AppletReentrancy, AnAppletUnloadsItselfFromItsOwnFinalize) {
    initializeQor();
    const std::string path = copyOf(QOR_FIXTURE_APPLET, "selfish.so");
    ASSERT_EQ(loadApplet(u"selfish", u"1", u"w1", path).text, u"true");
    applets.onFinalize = [&](const std::string&, const char16_t*) {
        sendThrough(applets.sendMessage,
                    command(u"UnloadUIApplet", appletPayload(u"selfish", u"1", u"w1")));
    };
    // At module finalize the nested unload finds its instance and releases the library itself.
    qor.finalize();
    EXPECT_FALSE(isMapped(path));
    EXPECT_THAT(applets.calls, ElementsAre("initialize selfish.so", "finalize selfish.so null",
                                           "finalize selfish.so empty"));
}

// A load nested in the finalize of the applet's last instance would add an instance to a library
// on its way out: refused, so that "loaded" and the instances never part.
TEST_F(AppletReentrancy, ALoadFromTheFinalizeOfTheLastInstanceIsRefused) {
    initializeQor();
    const std::string path = copyOf(QOR_FIXTURE_APPLET, "fading.so");
    ASSERT_EQ(loadApplet(u"fading", u"1", u"w1", path).text, u"true");
    std::vector<std::u16string> nested;
    applets.onFinalize = [&](const std::string&, const char16_t*) {
        nested.push_back(
            sendThrough(applets.sendMessage,
                        command(u"LoadUIApplet", appletPayload(u"fading", u"1", u"w2", path))));
    };
    core.logs.clear();
    EXPECT_EQ(unloadApplet(u"fading", u"1", u"w1").text, u"true");
    EXPECT_THAT(nested, ElementsAre(u"false"));
    EXPECT_THAT(core.logTexts(40), ElementsAre(u"Applet ID - fading is being unloaded, cannot "
                                               u"load Applet for instance ID - w2"));
    EXPECT_FALSE(isMapped(path));

    // No instance was left behind: w2 is not loaded, and loading it initializes the applet again.
    applets.onFinalize = nullptr;
    EXPECT_EQ(unloadApplet(u"fading", u"1", u"w2").text, u"false");
    EXPECT_EQ(loadApplet(u"fading", u"1", u"w2", path).text, u"true");
    EXPECT_EQ(unloadApplet(u"fading", u"1", u"w2").text, u"true");
    EXPECT_THAT(applets.calls, ElementsAre("initialize fading.so", "finalize fading.so empty",
                                           "initialize fading.so", "finalize fading.so empty"));
}

// The same at module finalize, and a released applet keeps no instances for the applets
// finalized after it to find.
TEST_F(AppletReentrancy, ALoadFromAFinalizeAtModuleFinalizeIsRefused) {
    initializeQor();
    const std::string first = copyOf(QOR_FIXTURE_APPLET, "first.so");
    const std::string second = copyOf(QOR_FIXTURE_APPLET, "second.so");
    ASSERT_EQ(loadApplet(u"first", u"1", u"w1", first).text, u"true");
    ASSERT_EQ(loadApplet(u"second", u"1", u"w1", second).text, u"true");
    std::vector<std::u16string> nested;
    applets.onFinalize = [&](const std::string& library, const char16_t*) {
        const std::u16string id = library.ends_with("first.so") ? u"first" : u"second";
        nested.push_back(sendThrough(applets.sendMessage,
                                     command(u"LoadUIApplet", appletPayload(id, u"1", u"w2", ""))));
        if (id == u"second") {
            nested.push_back(
                sendThrough(applets.sendMessage,
                            command(u"UnloadUIApplet", appletPayload(u"first", u"1", u"w1"))));
        }
    };
    applets.calls.clear();
    qor.finalize();
    EXPECT_THAT(nested, ElementsAre(u"false", u"false", u"false"));
    EXPECT_THAT(core.logTexts(40),
                ElementsAre(u"Applet ID - first is being unloaded, cannot load Applet for "
                            u"instance ID - w2",
                            u"Applet ID - second is being unloaded, cannot load Applet for "
                            u"instance ID - w2",
                            u"Applet ID - first is not loaded, cannot unload Applet"));
    EXPECT_THAT(applets.calls, ElementsAre("finalize first.so null", "finalize second.so null"));
    EXPECT_FALSE(isMapped(first));
    EXPECT_FALSE(isMapped(second));
}

TEST_F(AppletReentrancy, ModuleFinalizeWhileAppletsCallBackIntoQor) {
    initializeQor();
    const std::string first = copyOf(QOR_FIXTURE_APPLET, "first.so");
    const std::string second = copyOf(QOR_FIXTURE_APPLET, "second.so");
    const std::string late = copyOf(QOR_FIXTURE_APPLET, "late.so");
    ASSERT_EQ(loadApplet(u"first", u"1", u"w1", first).text, u"true");
    ASSERT_EQ(loadApplet(u"second", u"1", u"w1", second).text, u"true");
    core.received.clear();
    std::vector<std::u16string> replies;
    applets.onFinalize = [&](const std::string& library, const char16_t*) {
        if (!library.ends_with("first.so")) {
            return;
        }
        // To Core: the router was already dropped, so nobody hears it.
        replies.push_back(sendThrough(applets.sendMessage, command(u"Ping", u"")));
        // To an applet that is still loaded.
        Outgoing toSecond;
        toSecond.targetType = u"Applet";
        toSecond.targetID = u"second";
        toSecond.targetVersion = u"1";
        toSecond.command = u"Hello";
        replies.push_back(sendThrough(applets.sendMessage, toSecond));
        // A new applet, loaded during the teardown, and the unloading of another.
        replies.push_back(
            sendThrough(applets.sendMessage,
                        command(u"LoadUIApplet", appletPayload(u"late", u"1", u"w1", late))));
        replies.push_back(
            sendThrough(applets.sendMessage,
                        command(u"UnloadUIApplet", appletPayload(u"second", u"1", u"w1"))));
    };
    applets.calls.clear();
    EXPECT_EQ(qor.finalize(), 0);
    EXPECT_THAT(replies, ElementsAre(u"", u"<appletReply/>", u"true", u"true"));
    EXPECT_TRUE(core.received.empty());
    EXPECT_THAT(applets.calls, ElementsAre("finalize first.so null",
                                           "processMessage second.so Hello", "initialize late.so",
                                           "finalize second.so empty", "finalize late.so null"));
    for (const std::string& path : {first, second, late}) {
        EXPECT_FALSE(isMapped(path)) << path;
    }
    EXPECT_EQ(fixtureOutstandingTexts(), 0);
}

TEST_F(AppletReentrancy, CoreMayFinalizeTheModuleWhileQorWaitsForIt) {
    initializeQor();
    const std::string path = copyOf(QOR_FIXTURE_APPLET, "late.so");
    const host::QorModule& module = qor;
    core.onMessage = [&](const host::ReceivedMessage& m) -> std::optional<std::u16string> {
        if (m.command == u"Shutdown" || m.command == u"RegisterProperties" ||
            m.command == u"FromApplet") {
            module.finalize();
        }
        return u"done";
    };
    // A routed message, a composed one, and one from inside an applet's initialize.
    EXPECT_EQ(send(command(u"Shutdown", u"")).text, u"done");
    EXPECT_EQ(send(command(u"LoadBindings",
                           u"<applet><CommandLineArguments><bindings>"
                           u"<eventBindings/><propertyBindings/></bindings>"
                           u"</CommandLineArguments></applet>"))
                  .text,
              u"true");
    applets.onInitialize = [&](const std::string&, const std::u16string&,
                               const HostContext& context) {
        sendThrough(context.sendMessage, command(u"FromApplet", u""));
    };
    EXPECT_EQ(loadApplet(u"late", u"1", u"w1", path).text, u"true");
    // The applet outlived the teardown it caused and is unloaded with the next one.
    qor.finalize();
    EXPECT_FALSE(isMapped(path));
    EXPECT_THAT(applets.calls, ElementsAre("initialize late.so", "finalize late.so null"));
}

}  // namespace
}  // namespace qor::test
