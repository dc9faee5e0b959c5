// LoadBindings, PropertyChange and ListenPropertyChange through the real libqor.so: a recording
// Core, fixture applets, and XML compared structurally.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "qor/host_support.h"
#include "support/fixture_applets.h"
#include "support/xml_view.h"

namespace qor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::u16string kBindings =
    u"<bindings>"
    u"<eventBindings>"
    u"  <binding propertyName='volume'><source id='slider' event='changed' type='Slider'/>"
    u"    <data><unit>dB</unit></data></binding>"
    u"  <binding propertyName='first'><source id='a' event='x'/><source id='b' event='y' "
    u"type='T'/><ignored/></binding>"
    u"  <binding propertyName='nowhere'><data/></binding>"
    u"  <!-- comments and text are skipped -->"
    u"</eventBindings>"
    u"<propertyBindings>"
    u"  <binding propertyName='volume'><target command='SetLevel' viewID='main' type='gauge' "
    u"id='g1'/></binding>"
    u"  <binding><target command='Never'/></binding>"
    u"  <binding propertyName='bare'/>"
    u"  <binding propertyName='twice'><target command='One'/></binding>"
    u"  <binding propertyName='twice'><target command='Two' viewID='v'/></binding>"
    u"</propertyBindings>"
    u"</bindings>";

std::u16string loadBindingsPayload(const std::u16string& bindings,
                                   const std::u16string& instance = u"w1",
                                   const std::u16string& id = u"calc",
                                   const std::u16string& version = u"2") {
    return u"<applet><CommandLineArguments><appletID>" + id + u"</appletID><appletVersion>" +
           version + u"</appletVersion><instanceID>" + instance + u"</instanceID>" + bindings +
           u"</CommandLineArguments></applet>";
}

std::u16string eventPayload(const std::u16string& component, const std::u16string& event,
                            const std::u16string& instance = u"w1") {
    return u"<applet><CommandLineArguments><appletID>calc</appletID><appletVersion>2"
           u"</appletVersion><instanceID>" +
           instance + u"</instanceID><componentID>" + component + u"</componentID><event>" + event +
           u"</event><value>7</value></CommandLineArguments></applet>";
}

Outgoing propertyChange(const std::u16string& component, const std::u16string& event,
                        const std::u16string& instance = u"w1") {
    Outgoing message;
    message.sourceID = u"calc";
    message.command = u"PropertyChange";
    message.data = eventPayload(component, event, instance);
    return message;
}

Outgoing listen(const std::u16string& property, const std::u16string& extra,
                const std::u16string& instance = u"w1") {
    Outgoing message;
    message.targetType = u"Applet";
    message.targetID = u"calc";
    message.targetVersion = u"2";
    message.targetInstanceID = instance;
    message.command = u"ListenPropertyChange";
    message.data = u"<propertyChange><propertyID>" + property + u"</propertyID>" + extra +
                   u"</propertyChange>";
    return message;
}

class Bindings : public AppletHarness {
  protected:
    void SetUp() override {
        AppletHarness::SetUp();
        initializeQor();
    }
    std::vector<host::ReceivedMessage> toCore(std::u16string_view command) const {
        return core.messagesWithCommand(command);
    }
};

// A bindings file as a host reads it: its declaration may not stand inside the payload, and the
// host support library's payload leaves it out.
TEST_F(Bindings, AFileWithADeclarationLoadsInThePayloadTheHostSupportLibraryBuilds) {
    const std::string file =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<bindings><eventBindings/><propertyBindings>"
        "<binding propertyName=\"volume\"><target command=\"Set\"/></binding>"
        "</propertyBindings></bindings>\n";
    EXPECT_EQ(send(u"LoadBindings", loadBindingsPayload(u16(file))).text, u"false");
    char* error = nullptr;
    char16_t* payload = qorLoadBindingsPayload(u"calc", u"2", u"w1", file.c_str(), &error);
    ASSERT_NE(payload, nullptr) << error;
    EXPECT_EQ(send(u"LoadBindings", payload).text, u"true");
    qorFreeText(payload);
    EXPECT_NE(toCore(u"RegisterProperties").back().data.find(u"volume"), std::u16string::npos);
}

TEST_F(Bindings, LoadBindingsStoresAndRegistersTheInstancesProperties) {
    EXPECT_EQ(send(u"LoadBindings", loadBindingsPayload(kBindings)).text, u"true");
    const auto registrations = toCore(u"RegisterProperties");
    ASSERT_EQ(registrations.size(), 1u);
    const host::ReceivedMessage& registration = registrations[0];
    EXPECT_EQ(registration.targetType, u"Core");
    EXPECT_EQ(registration.targetID, u"Core");
    EXPECT_EQ(registration.targetVersion, u"");
    EXPECT_EQ(registration.sourceID, u"QOR");
    EXPECT_EQ(registration.flagA, 0);
    EXPECT_EQ(registration.flagB, 1);
    XmlView document(registration.data);
    ASSERT_TRUE(document.parsed());
    EXPECT_EQ(document.text(u"/propertyBindings/@targetID"), u"calc");
    EXPECT_EQ(document.text(u"/propertyBindings/@targetVersion"), u"2");
    EXPECT_EQ(document.text(u"/propertyBindings/@targetInstanceID"), u"w1");
    EXPECT_EQ(document.text(u"/propertyBindings/@targetMessage"), u"ListenPropertyChange");
    EXPECT_THAT(document.childNames(u"/propertyBindings"),
                ElementsAre(u"propertyID", u"propertyID", u"propertyID", u"propertyID"));
    EXPECT_EQ(document.text(u"/propertyBindings/propertyID[1]"), u"volume");
    EXPECT_EQ(document.text(u"/propertyBindings/propertyID[2]"), u"bare");
    EXPECT_EQ(document.text(u"/propertyBindings/propertyID[4]"), u"twice");

    // What was stored, as the property-change flows find it.
    EXPECT_EQ(send(propertyChange(u"b", u"y")).text, u"true");  // the last source gives the key
    EXPECT_EQ(send(propertyChange(u"a", u"x")).text, u"false");
    EXPECT_EQ(send(listen(u"twice", u"")).text, u"true");
    EXPECT_EQ(send(listen(u"bare", u"")).text, u"true");
    EXPECT_EQ(send(listen(u"", u"")).text, u"false");
}

TEST_F(Bindings, LoadBindingsLogsEachStep) {
    send(u"LoadBindings", loadBindingsPayload(u"<bindings><eventBindings/></bindings>"));
    EXPECT_THAT(core.logTexts(30),
                ElementsAre(u"QOR Initialized", u"Inside LoadBindings", u"Inside loadEventBindings",
                            u"Return from loadEventBindings: 1", u"Inside loadPropertyBindings",
                            u"propertyBindings Node not present in XML",
                            u"Inside registerPropertyBindingsWithCore",
                            u"Return from registerPropertyBindingsWithCore",
                            u"Return from loadPropertyBindings: 0"));
}

TEST_F(Bindings, UnreadableBindingsStillRegisterWithCore) {
    const struct {
        std::u16string payload;
        std::u16string result;
        size_t propertyIDs;
    } cases[] = {
        {u"<applet>not closed", u"false", 0},
        {loadBindingsPayload(u""), u"false", 0},
        {loadBindingsPayload(u"<bindings><propertyBindings><binding propertyName='p'/>"
                             u"</propertyBindings></bindings>"),
         u"false", 1},
        {loadBindingsPayload(u"<bindings><eventBindings/></bindings>"), u"false", 0},
        {loadBindingsPayload(u"<bindings><eventBindings/><propertyBindings/></bindings>"), u"true",
         0},
    };
    for (const auto& each : cases) {
        core.received.clear();
        EXPECT_EQ(send(u"LoadBindings", each.payload).text, each.result);
        const auto registrations = toCore(u"RegisterProperties");
        ASSERT_EQ(registrations.size(), 1u);
        XmlView document(registrations[0].data);
        EXPECT_TRUE(document.has(u"/propertyBindings[@targetMessage='ListenPropertyChange']"));
        EXPECT_EQ(document.childNames(u"/propertyBindings").size(), each.propertyIDs);
    }
    // The property binding of the third case was stored although the result was "false".
    EXPECT_EQ(send(listen(u"p", u"")).text, u"true");
}

TEST_F(Bindings, PropertyChangeTellsCoreAboutTheBoundProperty) {
    ASSERT_EQ(send(u"LoadBindings", loadBindingsPayload(kBindings)).text, u"true");
    core.received.clear();
    Outgoing event = propertyChange(u"slider", u"changed");
    event.flagC = 1;
    EXPECT_EQ(send(event).text, u"true");
    const auto changes = toCore(u"PropertyChange");
    ASSERT_EQ(changes.size(), 1u);
    const host::ReceivedMessage& change = changes[0];
    EXPECT_EQ(change.targetType, u"Core");
    EXPECT_EQ(change.targetID, u"Core");
    EXPECT_EQ(change.sourceID, u"QOR");
    EXPECT_EQ(change.flagA, 0);
    EXPECT_EQ(change.flagC, 1);
    XmlView document(change.data);
    EXPECT_THAT(document.childNames(u"/propertyChange"), ElementsAre(u"propertyID", u"data"));
    EXPECT_EQ(document.text(u"/propertyChange/propertyID"), u"volume");
    // The binding's own data first, the incoming payload's root last.
    EXPECT_THAT(document.childNames(u"/propertyChange/data"), ElementsAre(u"unit", u"applet"));
    EXPECT_EQ(document.text(u"/propertyChange/data/applet/CommandLineArguments/value"), u"7");

    // Without a data child, the data element holds only the payload.
    core.received.clear();
    EXPECT_EQ(send(propertyChange(u"b", u"y")).text, u"true");
    XmlView bare(toCore(u"PropertyChange").at(0).data);
    EXPECT_THAT(bare.childNames(u"/propertyChange/data"), ElementsAre(u"applet"));
}

TEST_F(Bindings, PropertyChangeWithoutABindingOrNotForCoreSendsNothing) {
    ASSERT_EQ(send(u"LoadBindings", loadBindingsPayload(kBindings)).text, u"true");
    core.received.clear();
    core.logs.clear();
    EXPECT_EQ(send(propertyChange(u"slider", u"moved")).text, u"false");
    EXPECT_THAT(core.logTexts(),
                ElementsAre(u"Inside PropertyChange", u"Inside sendEventInfoToCore",
                            u"Return from sendEventInfoToCore: 0"));
    Outgoing elsewhere = propertyChange(u"slider", u"changed");
    elsewhere.targetID = u"core";
    EXPECT_EQ(send(elsewhere).text, u"true");
    EXPECT_EQ(send(propertyChange(u"slider", u"changed", u"w2")).text, u"false");
    EXPECT_THAT(core.received, IsEmpty());
}

TEST_F(Bindings, ListenPropertyChangeTellsTheAppletInItsOwnTerms) {
    ASSERT_EQ(loadApplet(u"calc", u"2", u"w1", QOR_FIXTURE_APPLET).text, u"true");
    ASSERT_EQ(send(u"LoadBindings", loadBindingsPayload(kBindings)).text, u"true");
    std::vector<host::ReceivedMessage> delivered;
    applets.onProcessMessage = [&](const std::string&, const host::ReceivedMessage& message) {
        delivered.push_back(message);
        return u"ignored";
    };
    Outgoing change = listen(u"volume", u"<data><level>3</level></data><context who='core'/>");
    change.flagC = 1;
    EXPECT_EQ(send(change).text, u"true");
    EXPECT_EQ(send(listen(u"volume", u"<data/>")).text, u"true");
    EXPECT_EQ(send(listen(u"unknown", u"<data/>")).text, u"false");
    ASSERT_EQ(delivered.size(), 2u);
    const host::ReceivedMessage& first = delivered[0];
    EXPECT_EQ(first.targetType, u"Applet");
    EXPECT_EQ(first.targetID, u"calc");
    EXPECT_EQ(first.targetVersion, u"2");
    EXPECT_EQ(first.targetInstanceID, u"w1");
    EXPECT_EQ(first.sourceID, u"QOR");
    EXPECT_EQ(first.command, u"HandlePropertyChangeFromBL");
    EXPECT_EQ(first.flagA, 0);
    EXPECT_EQ(first.flagC, 0);  // not carried in this direction
    XmlView document(first.data);
    EXPECT_THAT(
        document.childNames(u"/propertyChange"),
        ElementsAre(u"data", u"context", u"command", u"viewID", u"type", u"id", u"propertyID"));
    EXPECT_EQ(document.text(u"/propertyChange/data/level"), u"3");
    EXPECT_EQ(document.text(u"/propertyChange/context/@who"), u"core");
    EXPECT_EQ(document.text(u"/propertyChange/command"), u"SetLevel");
    EXPECT_EQ(document.text(u"/propertyChange/viewID"), u"main");
    EXPECT_EQ(document.text(u"/propertyChange/type"), u"gauge");
    EXPECT_EQ(document.text(u"/propertyChange/id"), u"g1");
    EXPECT_EQ(document.text(u"/propertyChange/propertyID"), u"volume");
    // Without a context the data is followed directly by the command.
    EXPECT_THAT(XmlView(delivered[1].data).childNames(u"/propertyChange"),
                ElementsAre(u"data", u"command", u"viewID", u"type", u"id", u"propertyID"));
    EXPECT_EQ(fixtureOutstandingTexts(), 0);
}

// A payload with an unpaired surrogate in its text, an attribute value or a comment is no XML:
// refused like any malformed one. Paired surrogates travel whole, in and out.
TEST_F(Bindings, UnpairedSurrogatesRefuseAPayloadPairedOnesTravelWhole) {
    ASSERT_EQ(loadApplet(u"calc", u"2", u"w1", QOR_FIXTURE_APPLET).text, u"true");
    ASSERT_EQ(send(u"LoadBindings", loadBindingsPayload(kBindings)).text, u"true");
    std::vector<std::u16string> delivered;
    applets.onProcessMessage = [&](const std::string&, const host::ReceivedMessage& message) {
        delivered.push_back(message.data);
        return u"ignored";
    };
    const std::u16string face = u"\U0001F600";
    EXPECT_EQ(
        send(listen(u"volume", u"<data a='" + face + u"'><!--" + face + u"-->" + face + u"</data>"))
            .text,
        u"true");
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(XmlView(delivered[0]).text(u"/propertyChange/data"), face);
    EXPECT_EQ(XmlView(delivered[0]).text(u"/propertyChange/data/@a"), face);
    for (const std::u16string lone : {u"\xD83D", u"\xDE00", u"\xDE00\xD83D", u"x\xD800"}) {
        for (const std::u16string& data :
             {u"<data>" + lone + u"</data>", u"<data a='" + lone + u"'/>",
              u"<data><!--" + lone + u"--></data>"}) {
            EXPECT_EQ(send(listen(u"volume", data)).text, u"false");
        }
    }
    EXPECT_EQ(delivered.size(), 1u);
}

// Every text QOR hands on parses again, namespace-aware, with the meaning it had.
TEST_F(Bindings, StoredDataThatNoLongerParsesIsReportedNotSentWithoutIt) {
    // The data element keeps within the bound of 256 attributes where it stands; written on its
    // own it also declares the prefix it uses from the bindings element, 257, and its text no
    // longer parses.
    std::u16string attributes = u" q:z='1'";
    for (int i = 0; i < 255; ++i) {
        const std::string number = std::to_string(i);
        attributes += u" a" + std::u16string(number.begin(), number.end()) + u"='1'";
    }
    const std::u16string bindings =
        u"<bindings xmlns:q='urn:q'><eventBindings><binding propertyName='volume'>"
        u"<source id='slider' event='changed'/><data" +
        attributes + u"/></binding></eventBindings></bindings>";
    send(u"LoadBindings", loadBindingsPayload(bindings));
    core.received.clear();
    EXPECT_EQ(send(propertyChange(u"slider", u"changed")).text, u"false");
    EXPECT_THAT(toCore(u"PropertyChange"), IsEmpty());
    EXPECT_THAT(
        core.logTexts(40),
        ElementsAre(u"The data of the binding com.zarvo.pqn.w1.calc.2.slider.changed does not "
                    u"parse again; no PropertyChange sent"));
}

TEST_F(Bindings, NamespacesSurviveEveryCopy) {
    ASSERT_EQ(loadApplet(u"calc", u"2", u"w1", QOR_FIXTURE_APPLET).text, u"true");
    // The binding's data uses a prefix declared on an ancestor, and brings a default namespace.
    const std::u16string bindings =
        u"<bindings xmlns:u='urn:u'><eventBindings>"
        u"<binding propertyName='volume'><source id='slider' event='changed'/>"
        u"<data><u:unit u:k='1'>dB</u:unit></data></binding>"
        u"<binding propertyName='level'><source id='knob' event='turned'/>"
        u"<data xmlns='urn:d'><unit>dB</unit></data></binding>"
        u"</eventBindings><propertyBindings><binding propertyName='volume'>"
        u"<target command='SetLevel'/></binding></propertyBindings></bindings>";
    ASSERT_EQ(send(u"LoadBindings", loadBindingsPayload(bindings)).text, u"true");

    EXPECT_EQ(send(propertyChange(u"slider", u"changed")).text, u"true");
    XmlView prefixed(toCore(u"PropertyChange").at(0).data);
    ASSERT_TRUE(prefixed.parsed());
    EXPECT_EQ(prefixed.text(u"/propertyChange/data/*[local-name()='unit' and "
                            u"namespace-uri()='urn:u']/@*[local-name()='k' and "
                            u"namespace-uri()='urn:u']"),
              u"1");
    EXPECT_EQ(prefixed.text(u"/propertyChange/data/applet/CommandLineArguments/value"), u"7");

    core.received.clear();
    EXPECT_EQ(send(propertyChange(u"knob", u"turned")).text, u"true");
    XmlView defaulted(toCore(u"PropertyChange").at(0).data);
    ASSERT_TRUE(defaulted.parsed());
    const std::u16string data =
        u"/propertyChange/*[local-name()='data' and namespace-uri()='urn:d']";
    EXPECT_EQ(defaulted.text(data + u"/*[local-name()='unit' and namespace-uri()='urn:d']"), u"dB");
    // The payload's applet element is in no namespace, as it was sent.
    EXPECT_EQ(defaulted.text(data + u"/applet/CommandLineArguments/value"), u"7");

    // Core's data and context for the applet, with a prefix declared on their ancestor.
    std::vector<std::u16string> delivered;
    applets.onProcessMessage = [&](const std::string&, const host::ReceivedMessage& message) {
        delivered.push_back(message.data);
        return u"done";
    };
    Outgoing change =
        listen(u"volume", u"<data><c:level c:scale='dB'>3</c:level></data><context c:who='core'/>");
    change.data.insert(std::u16string(u"<propertyChange").size(), u" xmlns:c='urn:c'");
    EXPECT_EQ(send(change).text, u"true");
    ASSERT_EQ(delivered.size(), 1u);
    XmlView toApplet(delivered[0]);
    ASSERT_TRUE(toApplet.parsed());
    EXPECT_EQ(toApplet.text(u"/propertyChange/data/*[local-name()='level' and "
                            u"namespace-uri()='urn:c'][@*[namespace-uri()='urn:c']='dB']"),
              u"3");
    EXPECT_EQ(toApplet.text(u"/propertyChange/context/@*[namespace-uri()='urn:c']"), u"core");
    EXPECT_EQ(toApplet.text(u"/propertyChange/command"), u"SetLevel");
}

TEST_F(Bindings, TheWholeLoopFromSliderToCoreToApplet) {
    // Core behaves like a small real one: it announces every property change back to the
    // subscribed instance with ListenPropertyChange.
    const SendFunction qorSend = qor.processMessageFunction();
    core.onMessage = [&](const host::ReceivedMessage& message) -> std::optional<std::u16string> {
        if (message.command == u"PropertyChange") {
            XmlView change(message.data);
            Outgoing announce = listen(change.text(u"/propertyChange/propertyID"),
                                       u"<data>" + change.text(u"//value") + u"</data>");
            return sendThrough(qorSend, announce);
        }
        return u"";
    };
    std::vector<std::u16string> toldApplet;
    applets.onProcessMessage = [&](const std::string&, const host::ReceivedMessage& message) {
        toldApplet.push_back(message.command + u":" + XmlView(message.data).text(u"//command") +
                             u":" + XmlView(message.data).text(u"//data"));
        return u"done";
    };
    ASSERT_EQ(loadApplet(u"calc", u"2", u"w1", QOR_FIXTURE_APPLET).text, u"true");
    ASSERT_EQ(send(u"LoadBindings", loadBindingsPayload(kBindings)).text, u"true");
    // The applet reports its slider moving, through the context QOR gave it.
    Outgoing moved = propertyChange(u"slider", u"changed");
    EXPECT_EQ(sendThrough(applets.sendMessage, moved), u"true");
    EXPECT_THAT(toldApplet, ElementsAre(u"HandlePropertyChangeFromBL:SetLevel:7"));
    EXPECT_EQ(core.outstandingReplies(), 0);
}

TEST_F(Bindings, CoreMayLoadBindingsAgainWhileRegistrationIsUnderWay) {
    const SendFunction qorSend = qor.processMessageFunction();
    int nested = 0;
    core.onMessage = [&](const host::ReceivedMessage& message) -> std::optional<std::u16string> {
        if (message.command == u"RegisterProperties" && nested++ == 0) {
            Outgoing again;
            again.command = u"LoadBindings";
            again.data = loadBindingsPayload(
                u"<bindings><eventBindings><binding propertyName='other'><source id='slider' "
                u"event='changed'/></binding></eventBindings><propertyBindings/></bindings>");
            return sendThrough(qorSend, again);
        }
        return u"";
    };
    EXPECT_EQ(send(u"LoadBindings", loadBindingsPayload(kBindings)).text, u"true");
    EXPECT_EQ(toCore(u"RegisterProperties").size(), 2u);
    core.received.clear();
    EXPECT_EQ(send(propertyChange(u"slider", u"changed")).text, u"true");
    EXPECT_EQ(XmlView(toCore(u"PropertyChange").at(0).data).text(u"/propertyChange/propertyID"),
              u"other");  // the nested load came last
}

TEST_F(Bindings, BindingsOutliveTheAppletButNotFinalize) {
    ASSERT_EQ(loadApplet(u"calc", u"2", u"w1", QOR_FIXTURE_APPLET).text, u"true");
    ASSERT_EQ(send(u"LoadBindings", loadBindingsPayload(kBindings)).text, u"true");
    ASSERT_EQ(unloadApplet(u"calc", u"2", u"w1").text, u"true");
    ASSERT_EQ(loadApplet(u"calc", u"2", u"w1", QOR_FIXTURE_APPLET).text, u"true");
    EXPECT_EQ(send(listen(u"volume", u"")).text, u"true");
    qor.finalize();
    initializeQor();
    EXPECT_EQ(send(listen(u"volume", u"")).text, u"false");
    EXPECT_EQ(send(propertyChange(u"slider", u"changed")).text, u"false");
}

TEST_F(Bindings, AHundredThousandBindingsInOneDocument) {
    std::u16string events, properties;
    for (int i = 0; i < 100000; ++i) {
        const std::u16string n = u16(std::to_string(i));
        events += u"<b propertyName='p" + n + u"'><source id='c" + n + u"' event='e'/></b>";
        properties += u"<b propertyName='p" + n + u"'><target command='c" + n + u"'/></b>";
    }
    core.onMessage = [](const host::ReceivedMessage&) { return u""; };
    EXPECT_EQ(
        send(u"LoadBindings", loadBindingsPayload(u"<bindings><eventBindings>" + events +
                                                  u"</eventBindings><propertyBindings>" +
                                                  properties + u"</propertyBindings></bindings>"))
            .text,
        u"true");
    core.received.clear();
    EXPECT_EQ(send(propertyChange(u"c99999", u"e")).text, u"true");
    EXPECT_EQ(XmlView(toCore(u"PropertyChange").at(0).data).text(u"/propertyChange/propertyID"),
              u"p99999");
}

}  // namespace
}  // namespace qor::test
