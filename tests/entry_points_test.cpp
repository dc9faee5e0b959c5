// initialize, finalize and the module's lifecycle, through the real libqor.so.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/qor_harness.h"

namespace qor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using EntryPoints = QorHarness;

TEST_F(EntryPoints, InitializeLogsThroughTheHostAndFinalizeToo) {
    initializeQor();
    EXPECT_EQ(qor.finalize(), 0);
    ASSERT_EQ(core.logs.size(), 2u);
    const host::LogEntry& first = core.logs[0];
    EXPECT_EQ(first.level, 30);
    EXPECT_EQ(first.module, u"QOR");
    EXPECT_EQ(first.component, u"QOR");
    EXPECT_EQ(first.reserved1, u"");
    EXPECT_EQ(first.reserved2, u"");
    EXPECT_EQ(first.text, u"QOR Initialized");
    EXPECT_EQ(core.logs[1].text, u"QOR finalize called");
}

TEST_F(EntryPoints, NullContextIsRefusedAndChangesNothing) {
    EXPECT_EQ(qor.initialize(u"", nullptr), 1);
    EXPECT_THAT(core.logs, IsEmpty());
    // Without a host, messages for Core get the empty text.
    EXPECT_EQ(send(u"Ping", u"").text, u"");
    EXPECT_THAT(core.received, IsEmpty());
}

TEST_F(EntryPoints, ProcessMessageBeforeInitializeAnswersEmptyAndLogsNothing) {
    const Reply reply = send(u"Ping", u"<x/>");
    EXPECT_EQ(reply.text, u"");
    EXPECT_NE(reply.release, nullptr);
    EXPECT_THAT(core.received, IsEmpty());
    EXPECT_THAT(core.logs, IsEmpty());
}

TEST_F(EntryPoints, FinalizeWithoutInitializeLogsNothing) {
    EXPECT_EQ(qor.finalize(), 0);
    EXPECT_THAT(core.logs, IsEmpty());
}

TEST_F(EntryPoints, SecondInitializeReplacesTheHostFunctions) {
    initializeQor();
    HostContext silent = core.context();
    silent.sendMessage = nullptr;
    silent.logMessage = nullptr;
    ASSERT_EQ(qor.initialize(u"", &silent), 0);
    EXPECT_EQ(send(u"Ping", u"").text, u"");
    EXPECT_THAT(core.received, IsEmpty());
    EXPECT_THAT(core.logTexts(), ElementsAre(u"QOR Initialized"));
}

TEST_F(EntryPoints, TheHostMayReuseItsContextAfterInitialize) {
    {
        HostContext context = core.context();
        ASSERT_EQ(qor.initialize(u"", &context), 0);
        context = HostContext{};  // overwritten at once
    }
    core.onMessage = [](const host::ReceivedMessage&) { return u"pong"; };
    EXPECT_EQ(send(u"Ping", u"").text, u"pong");
}

TEST_F(EntryPoints, AfterFinalizeTheRouterHasNoHost) {
    initializeQor();
    qor.finalize();
    EXPECT_EQ(send(u"Ping", u"").text, u"");
    EXPECT_THAT(core.received, IsEmpty());
    // The log slot survives finalize; initialize brings the host back.
    initializeQor();
    core.onMessage = [](const host::ReceivedMessage&) { return u"back"; };
    EXPECT_EQ(send(u"Ping", u"").text, u"back");
}

}  // namespace
}  // namespace qor::test
