// The applet registry's own rules, on QOR's internals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdarg>

#include "applets/applet_list.h"
#include "applets/applet_loading.h"
#include "log_format.h"
#include "plugin/module_state.h"

namespace qor {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::pair<int32_t, std::u16string>> logged;

void recordLog(int32_t level, const char16_t*, const char16_t* component, const char16_t*,
               const char16_t*, const char16_t* format, ...) {
    va_list values;
    va_start(values, format);
    EXPECT_EQ(std::u16string(component), u"QORAppletManager");
    logged.emplace_back(level, host::formatLogLine(format, values));
    va_end(values);
}

std::shared_ptr<AppletRecord> makeRecord(std::u16string id, std::u16string version) {
    auto record = std::make_shared<AppletRecord>();
    record->appletID = std::move(id);
    record->appletVersion = std::move(version);
    return record;
}

class AppletRegistry : public ::testing::Test {
  protected:
    void SetUp() override {
        logged.clear();
        moduleState().logSlot = recordLog;
    }
    void TearDown() override { moduleState().logSlot = nullptr; }

    AppletList list;
};

TEST_F(AppletRegistry, InstancesAreUniqueAndKeepTheirOrder) {
    AppletRecord record;
    EXPECT_FALSE(record.removeInstance(u"w1"));
    EXPECT_TRUE(record.addInstance(u"w1"));
    EXPECT_FALSE(record.addInstance(u"w1"));
    EXPECT_EQ(record.instanceCount(), 1);
    EXPECT_TRUE(record.addInstance(u"w2"));
    EXPECT_TRUE(record.addInstance(u"w3"));
    EXPECT_TRUE(record.removeInstance(u"w2"));
    EXPECT_FALSE(record.removeInstance(u"w9"));
    EXPECT_THAT(record.instanceIDs, ElementsAre(u"w1", u"w3"));
    EXPECT_EQ(record.instanceCount(), 2);
}

TEST_F(AppletRegistry, RegisteringTwiceIsRefusedAtLevel20) {
    const auto first = makeRecord(u"A", u"1.0");
    EXPECT_TRUE(list.registerApplet(first));
    EXPECT_FALSE(list.registerApplet(makeRecord(u"A", u"1.0")));
    EXPECT_FALSE(list.registerApplet(first));
    EXPECT_TRUE(list.registerApplet(makeRecord(u"A", u"2.0")));
    EXPECT_FALSE(list.registerApplet(nullptr));
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list.at(0), first);
    EXPECT_THAT(
        logged,
        ElementsAre(
            std::pair{30, std::u16string(u"Registering Applet. Type:  ID:A  Version:1.0")},
            std::pair{20,
                      std::u16string(u"Applet is already registered. Type:  ID:A  Version:1.0")},
            std::pair{20,
                      std::u16string(u"Applet is already registered. Type:  ID:A  Version:1.0")},
            std::pair{30, std::u16string(u"Registering Applet. Type:  ID:A  Version:2.0")}));
}

TEST_F(AppletRegistry, FindMatchesIdentifierAndVersionExactly) {
    const auto empty = makeRecord(u"", u"1");
    const auto noVersion = makeRecord(u"A", u"");
    const auto versioned = makeRecord(u"A", u"1.0");
    list.registerApplet(empty);
    list.registerApplet(noVersion);
    list.registerApplet(versioned);
    EXPECT_EQ(list.findApplet(u"", u"1"), nullptr);
    EXPECT_EQ(list.findApplet(u"A", u""), noVersion);
    EXPECT_EQ(list.findApplet(u"A", u"1.0"), versioned);
    EXPECT_EQ(list.findApplet(u"a", u"1.0"), nullptr);
    EXPECT_EQ(list.findApplet(u"A", u"1.0 "), nullptr);
}

TEST_F(AppletRegistry, PendingRecordsAreNotFoundUntilRegistered) {
    const auto pending = list.createPending(u"P", u"1", u"/x/p.so");
    EXPECT_EQ(list.findApplet(u"P", u"1"), nullptr);
    EXPECT_EQ(list.findPending(u"P", u"1"), pending);
    EXPECT_EQ(pending->appletPath, u"/x/p.so");
    EXPECT_TRUE(list.registerApplet(pending));
    EXPECT_EQ(list.findPending(u"P", u"1"), nullptr);
    EXPECT_EQ(list.findApplet(u"P", u"1"), pending);
}

TEST_F(AppletRegistry, ThousandsOfAppletsAreFoundByKey) {
    moduleState().logSlot = nullptr;
    for (int i = 0; i < 5000; ++i) {
        list.registerApplet(makeRecord(u"applet" + std::u16string(1, char16_t(u'a' + i % 26)) +
                                           std::u16string(1, char16_t(u'0' + i / 26 % 10)),
                                       std::u16string(1, char16_t(u'A' + i / 260))));
    }
    const auto& found = list.findApplet(u"appletz9", u"A");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->appletID, u"appletz9");
    EXPECT_THAT(logged, IsEmpty());
}

// "loaded" and the instances move together: an applet unloaded at module finalize keeps none.
TEST_F(AppletRegistry, AnUnloadedAppletKeepsNoInstances) {
    moduleState().logSlot = nullptr;
    const auto record = makeRecord(u"calc", u"1");
    const std::string path = QOR_FIXTURE_APPLET;
    record->appletPath.assign(path.begin(), path.end());
    ASSERT_TRUE(loadApplet(record, u"w1"));
    ASSERT_TRUE(loadApplet(record, u"w2"));
    EXPECT_TRUE(unloadApplet(record.get()));
    EXPECT_FALSE(record->loaded);
    EXPECT_THAT(record->instanceIDs, IsEmpty());
    moduleState().applets.reset();
}

}  // namespace
}  // namespace qor
