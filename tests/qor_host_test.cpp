// The qor-host tool, run as a person runs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "support/test_platform.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using ToolRun = qor::test::CommandRun;

ToolRun qorHost(const std::string& arguments) {
    return qor::test::runCommand(QOR_HOST, arguments);
}

const std::string kScenarios = QOR_TEST_SCENARIOS;

std::string narrow(const char16_t* ascii) {
    return std::string(ascii, ascii + std::char_traits<char16_t>::length(ascii));
}

TEST(QorHost, TheDemoPlaysEndToEnd) {
    const ToolRun run = qorHost("run");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("Host -> QOR  MoveSlider to Applet slider 1.0 [w1]"));
    EXPECT_THAT(run.output, HasSubstr("QOR -> Core  PropertyChange to Core Core"));
    EXPECT_THAT(run.output,
                HasSubstr("Core -> QOR  ListenPropertyChange to Applet label 1.0 [w2]"));
    EXPECT_THAT(run.output, HasSubstr("label in window w2 shows \"42\""));
    EXPECT_THAT(run.output, HasSubstr("Host <- QOR  \"Volume sonore\""));
    EXPECT_THAT(run.output, HasSubstr("passed: 10 steps, 0 failed expectations"));
}

TEST(QorHost, QuietLevelsAndMermaid) {
    const ToolRun quiet = qorHost("run --quiet");
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.output, "passed: 10 steps, 0 failed expectations\n");

    const ToolRun failures = qorHost("run --log-level 40");
    EXPECT_THAT(failures.output, HasSubstr("log 40 "));
    EXPECT_THAT(failures.output, Not(HasSubstr("log 30 ")));

    const ToolRun mermaid = qorHost("run --quiet --trace mermaid");
    EXPECT_THAT(mermaid.output, HasSubstr("sequenceDiagram\n"));
    EXPECT_THAT(mermaid.output, HasSubstr("    Host->>QOR: LoadUIApplet\n"));
    EXPECT_THAT(mermaid.output, HasSubstr("    QOR->>Core: RegisterProperties\n"));
    EXPECT_THAT(mermaid.output, HasSubstr("    Core-->>QOR: \"Volume sonore\"\n"));
}

TEST(QorHost, FailedExpectationsNameTheirLine) {
    if (!qor::test::domTellsLines()) {
        GTEST_SKIP() << "the Windows DOM does not tell the lines of nodes";
    }
    const ToolRun run = qorHost("run " + kScenarios + "/failing.scenario.xml");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    const std::string file = kScenarios + "/failing.scenario.xml";
    EXPECT_THAT(run.output, HasSubstr(file + ":3: expected the reply \"false\", got \"true\""));
    EXPECT_THAT(
        run.output,
        HasSubstr(file + ":6: expected a log line at level 40 containing \"never written\""));
    EXPECT_THAT(run.output, HasSubstr("FAILED: 2 steps, 2 failed expectations"));
}

TEST(QorHost, UnusableScenariosAreReportedWithFileAndLine) {
    if (!qor::test::domTellsLines()) {
        GTEST_SKIP() << "the Windows DOM does not tell the lines of nodes";
    }
    const ToolRun malformed = qorHost("run " + kScenarios + "/malformed.scenario.xml");
    EXPECT_EQ(malformed.exitCode, 2);
    EXPECT_THAT(malformed.output, HasSubstr(kScenarios + "/malformed.scenario.xml:3: not a "
                                                         "well-formed XML document"));
    const ToolRun unknown = qorHost("run " + kScenarios + "/unknown-step.scenario.xml");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_THAT(unknown.output, HasSubstr("unknown-step.scenario.xml:4: unknown step <jump>"));
    const ToolRun missing = qorHost("run " + kScenarios + "/nowhere.xml");
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_THAT(missing.output, HasSubstr("nowhere.xml: cannot be read"));
    const ToolRun usage = qorHost("fly");
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_THAT(usage.output, HasSubstr("unknown command fly"));
}

TEST(QorHost, LoadFailuresCarryThePlatformsReason) {
    const ToolRun applet = qorHost("run " + kScenarios + "/missing-applet.scenario.xml");
    EXPECT_EQ(applet.exitCode, 0) << applet.output;
    EXPECT_THAT(applet.output, HasSubstr(narrow(qor::test::loadFailureReasons().missingFile)));
    const ToolRun library = qorHost("run --library /nowhere/libqor.so");
    EXPECT_EQ(library.exitCode, 3);
    EXPECT_THAT(library.output, HasSubstr("cannot load /nowhere/libqor.so: "));
    EXPECT_THAT(library.output, HasSubstr(narrow(qor::test::loadFailureReasons().missingFile)));
}

TEST(QorHost, CheckBindingsSaysWhatWillBeStoredAndWhy) {
    if (!qor::test::domTellsLines()) {
        GTEST_SKIP() << "the Windows DOM does not tell the lines of nodes";
    }
    const std::string file = kScenarios + "/problems.bindings.xml";
    const ToolRun run = qorHost("check-bindings " + file);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output,
                HasSubstr(file + ":3: event slider.changed changes property \"volume\""));
    EXPECT_THAT(run.output, HasSubstr(file + ":4: event binding skipped: no <source> child"));
    EXPECT_THAT(run.output, HasSubstr(file + ":5: unknown child <colour> ignored"));
    EXPECT_THAT(run.output, HasSubstr(file + ":5: event slider.changed changes property \"again\" "
                                             "(replaces the binding of line 3)"));
    EXPECT_THAT(run.output,
                HasSubstr(file + ":8: property binding skipped: empty or missing propertyName"));
    EXPECT_THAT(run.output, HasSubstr(file + ":9: property \"volume\" is told as empty fields"));
    EXPECT_THAT(run.output, HasSubstr(file + ":10: property \"volume\" is told as command "
                                             "\"SetText\" (registered twice; replaces the binding "
                                             "of line 9)"));
    EXPECT_THAT(run.output, HasSubstr("summary: 1 event binding and 1 property binding stored, 2 "
                                      "skipped; LoadBindings answers \"true\""));
    EXPECT_EQ(qorHost("check-bindings " + kScenarios + "/malformed.scenario.xml").exitCode, 2);
}

}  // namespace
