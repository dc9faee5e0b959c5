// The qor-host tool, run as a person runs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "element_start.h"
#include "qor/plugin.h"
#include "support/scoped_environment.h"
#include "support/test_platform.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using ToolRun = qor::test::CommandRun;

// Runs qor-host with `arguments`, from `directory` when one is given; `streams` says which output
// is kept ("2>&1": both).
ToolRun qorHost(const std::string& arguments, const std::string& streams = "2>&1",
                const std::string& directory = "") {
    return qor::test::runCommand(QOR_HOST, arguments, streams, directory);
}

const std::string kScenarios = QOR_TEST_SCENARIOS;
const std::string kSampleSources = QOR_SAMPLE_SOURCES;

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
    EXPECT_THAT(mermaid.output, HasSubstr("    Host->>QOR: LoadUIApplet [w1]\n"));
    EXPECT_THAT(mermaid.output, HasSubstr("    QOR->>Core: RegisterProperties [w2]\n"));
    EXPECT_THAT(mermaid.output, HasSubstr("    QOR-->>applet_label: \"Volume sonore\" [w2]\n"));
}

// Where the XML DOM tells no lines (Windows), the step's number and command stand instead.
TEST(QorHost, FailedExpectationsNameTheirLineOrStep) {
    const bool lines = qor::test::domTellsLines();
    const ToolRun run = qorHost("run " + kScenarios + "/failing.scenario.xml");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    const std::string file = kScenarios + "/failing.scenario.xml";
    // Multi-line elements are reported where they start.
    EXPECT_THAT(run.output, HasSubstr(file + (lines ? ":2" : ": step 1 (LoadUIApplet)") +
                                      ": expected the reply \"false\", got \"true\""));
    EXPECT_THAT(run.output, HasSubstr(file + (lines ? ":6" : ": step 2 (GetText)") +
                                      ": expected a log line at level 40 containing \"never "
                                      "written\""));
    EXPECT_THAT(run.output, HasSubstr(file + (lines ? ":8" : ": step 3 (GetText)") +
                                      ": expected the reply \"never\", got \"\""));
    EXPECT_THAT(run.output, HasSubstr(lines ? "  line 8  Host -> QOR  GetText"
                                            : "  step 3 (GetText)  Host -> QOR  GetText"));
    EXPECT_THAT(run.output, HasSubstr("FAILED: 3 steps, 3 failed expectations"));
}

TEST(QorHost, UnusableScenariosAreReportedWithFileAndLine) {
    const bool lines = qor::test::domTellsLines();
    const ToolRun malformed = qorHost("run " + kScenarios + "/malformed.scenario.xml");
    EXPECT_EQ(malformed.exitCode, 2);
    EXPECT_THAT(malformed.output, HasSubstr(lines ? "malformed.scenario.xml:3: not a well-formed "
                                                    "XML document"
                                                  : "not a well-formed XML document"));
    const ToolRun unknown = qorHost("run " + kScenarios + "/unknown-step.scenario.xml");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_THAT(
        unknown.output,
        HasSubstr(lines ? "unknown-step.scenario.xml:4: unknown step <jump>"
                        : "unknown-step.scenario.xml: step 2 (<jump>): unknown step <jump>"));
    // The system's reason, and the path the name resolved to.
    const ToolRun missing = qorHost("run nowhere.xml", "2>&1", kScenarios);
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_THAT(missing.output,
                HasSubstr("qor-host: nowhere.xml: cannot be read: No such file or directory ("));
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    EXPECT_THAT(missing.output,
                HasSubstr("scenarios" + std::string(1, separator) + "nowhere.xml)\n"));
    EXPECT_THAT(qorHost("run " + kScenarios).output,
                HasSubstr(": cannot be read: it is a directory"));
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
    // On Windows a path without a drive resolves onto the current one, and is named so.
    EXPECT_THAT(library.output, HasSubstr("cannot load /nowhere/libqor.so"));
    EXPECT_THAT(library.output, HasSubstr(narrow(qor::test::loadFailureReasons().missingFile)));
}

// Where the DOM tells no lines (Windows), a finding names the file alone.
std::string at(const std::string& file, int line) {
    return qor::test::domTellsLines() ? file + ":" + std::to_string(line) + ": " : file + ": ";
}

TEST(QorHost, CheckBindingsSaysWhatWillBeStoredAndWhy) {
    const std::string file = kScenarios + "/problems.bindings.xml";
    const ToolRun run = qorHost("check-bindings " + file);
    EXPECT_EQ(run.exitCode, 1) << run.output;  // bindings skipped and replaced
    for (const std::string& line : {
             at(file, 3) + "event slider.changed changes property \"volume\"",
             at(file, 4) + "event binding skipped: no <source> child",
             at(file, 5) + "unknown element <colour> in <binding> ignored",
             at(file, 5) + "event slider.changed changes property \"again\" (replaces " +
                 (qor::test::domTellsLines() ? "the binding of line 3" : "an earlier binding") +
                 ")",
             at(file, 8) + "property binding skipped: empty or missing propertyName",
             at(file, 9) + "property binding has no <target>: the instance is told with an empty "
                           "command",
             at(file, 9) + "property \"volume\" is told as empty fields",
             at(file, 10) +
                 "property \"volume\" is told as command \"SetText\" (registered twice; "
                 "replaces " +
                 (qor::test::domTellsLines() ? "the binding of line 9" : "an earlier binding") +
                 ")",
             std::string("summary: 1 event binding and 1 property binding stored, 2 skipped; "
                         "LoadBindings answers \"true\"; 6 findings\n"),
         }) {
        EXPECT_THAT(run.output, HasSubstr(line));
    }
    EXPECT_EQ(qorHost("check-bindings " + kScenarios + "/malformed.scenario.xml").exitCode, 2);
}

// Names the bindings document does not define, and the values a binding needs, each named with
// its line and what was found; a file a host cannot send is unusable.
TEST(QorHost, CheckBindingsReportsUnknownNamesAndMissingValues) {
    const std::string file = kScenarios + "/misspelt.bindings.xml";
    const ToolRun run = qorHost("check-bindings " + file);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    for (const std::string& line : {
             at(file, 2) + "unknown attribute \"colour\" of <bindings> ignored\n",
             at(file, 4) + "unknown attribute \"propertyname\" of <binding> ignored (names are "
                           "case-sensitive: \"propertyName\")\n",
             at(file, 4) + "event binding has an empty or missing \"propertyName\"\n",
             at(file, 4) +
                 "unknown attribute \"ID\" of <source> ignored (names are case-sensitive: "
                 "\"id\")\n",
             at(file, 4) + "<source> has no \"id\"\n",
             at(file, 5) + "<source> has an empty \"id\"\n",
             at(file, 5) + "unknown element <extra> in <source> ignored\n",
             at(file, 8) + "unknown attribute \"Command\" of <target> ignored (names are "
                           "case-sensitive: \"command\")\n",
             at(file, 8) + "<target> has no \"command\"\n",
             at(file, 9) + "<target> has an empty \"command\"\n",
             at(file, 11) + "unknown element <extraSection> in <bindings> ignored\n",
         }) {
        EXPECT_THAT(run.output, HasSubstr(line));
    }
    EXPECT_THAT(run.output, Not(HasSubstr("xmlns")));  // namespace declarations are no findings

    const std::filesystem::path latin1 =
        std::filesystem::temp_directory_path() /
        ("qor-latin1-" + std::to_string(qor::test::currentProcessId()) + ".xml");
    std::ofstream(latin1) << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<bindings/>\n";
    const ToolRun refused = qorHost("check-bindings " + latin1.string());
    std::filesystem::remove(latin1);
    EXPECT_EQ(refused.exitCode, 2) << refused.output;
    EXPECT_THAT(refused.output, HasSubstr(":1: cannot be sent in a LoadBindings payload: the XML "
                                          "declaration names the encoding \"ISO-8859-1\"; the text "
                                          "must be UTF-8\n"));
}

TEST(QorHost, CheckBindingsExitsNonZeroOnlyWhenWhatIsStoredOrAnsweredChanges) {
    const ToolRun clean = qorHost("check-bindings " + kSampleSources + "/label/label.bindings.xml");
    EXPECT_EQ(clean.exitCode, 0) << clean.output;
    const ToolRun missing =
        qorHost("check-bindings " + kScenarios + "/no-property-section.bindings.xml");
    EXPECT_EQ(missing.exitCode, 1) << missing.output;
    EXPECT_THAT(missing.output, HasSubstr("no <propertyBindings> section: LoadBindings answers "
                                          "\"false\""));
    EXPECT_THAT(qorHost("--help").output,
                HasSubstr("exit codes of check-bindings: 0 LoadBindings stores every binding"));
}

TEST(QorHost, MermaidOnStandardOutputHoldsOnlyTheDiagram) {
    const ToolRun diagram = qorHost("run --trace mermaid", "2>/dev/null");
    EXPECT_EQ(diagram.exitCode, 0);
    EXPECT_EQ(diagram.output.rfind("sequenceDiagram\n", 0), 0u) << diagram.output;
    EXPECT_THAT(diagram.output, Not(HasSubstr("passed:")));
    EXPECT_THAT(diagram.output, Not(HasSubstr("Host -> QOR")));
    EXPECT_THAT(diagram.output, HasSubstr("    participant applet_slider as slider\n"
                                          "    participant applet_label as label\n"));
    EXPECT_THAT(diagram.output, HasSubstr("    QOR->>applet_slider: MoveSlider [w1]\n"));
    EXPECT_THAT(diagram.output,
                HasSubstr("    Core->>QOR: ListenPropertyChange [w2]\n"
                          "    QOR->>applet_label: HandlePropertyChangeFromBL [w2]\n"
                          "    applet_label-->>QOR: \"true\" [w2]\n"
                          "    QOR-->>Core: \"true\" [w2]\n"));
    EXPECT_THAT(diagram.output, HasSubstr("    applet_label-->>QOR: \"Volume sonore\" [w2]\n"));

    const ToolRun rest = qorHost("run --quiet --trace mermaid", "2>&1 >/dev/null");
    EXPECT_EQ(rest.output, "passed: 10 steps, 0 failed expectations\n");
}

// What passes between QOR and an applet, which the host does not see, comes from QOR's
// diagnostics: the applet's own PropertyChange, its answer to HandlePropertyChangeFromBL, its
// initialize and finalize, each arrow with its instance.
TEST(QorHost, TheTraceShowsTheAppletsOwnMessagesInAPropertyChangeLoop) {
    const std::string scenario = "run " + kScenarios + "/property-loop.scenario.xml";
    const ToolRun diagram = qorHost(scenario + " --trace mermaid", "2>/dev/null");
    EXPECT_EQ(diagram.exitCode, 0) << diagram.output;
    EXPECT_THAT(diagram.output, HasSubstr("    QOR->>applet_slider: initialize [w1]\n"
                                          "    applet_slider-->>QOR: 0 [w1]\n"));
    EXPECT_THAT(diagram.output,
                HasSubstr("    Host->>QOR: MoveSlider [w1]\n"
                          "    QOR->>applet_slider: MoveSlider [w1]\n"
                          "    applet_slider->>QOR: PropertyChange [w1]\n"
                          "    QOR->>Core: PropertyChange [w1]\n"
                          "    Core->>QOR: ListenPropertyChange [w1]\n"
                          "    QOR->>applet_slider: HandlePropertyChangeFromBL [w1]\n"
                          "    applet_slider-->>QOR: \"\" [w1]\n"
                          "    QOR-->>Core: \"true\" [w1]\n"
                          "    Core-->>QOR: \"true\" [w1]\n"
                          "    QOR-->>applet_slider: \"true\" [w1]\n"
                          "    applet_slider-->>QOR: \"true\" [w1]\n"
                          "    QOR-->>Host: \"true\" [w1]\n"));
    EXPECT_THAT(diagram.output, HasSubstr("    QOR->>applet_slider: finalize(\"\")\n"
                                          "    applet_slider-->>QOR: 0\n"));

    // ${APPLETS}/... with the platform's separator: the applet's directory is the applets'.
    const ToolRun text = qorHost(scenario + " --full");
    EXPECT_THAT(text.output,
                HasSubstr("<appletDIR>" +
                          std::filesystem::path(QOR_SAMPLE_APPLETS).make_preferred().string() +
                          "</appletDIR>"));
    EXPECT_THAT(text.output, HasSubstr("\n          slider 1.0 -> QOR  PropertyChange to Core Core "
                                       "[w1]  <applet><CommandLineArguments>"));
    EXPECT_THAT(text.output, HasSubstr("\n          slider 1.0 <- QOR  \"true\"\n"));

    // A person's own QOR_DEBUG still reaches them, with what they asked for alone.
    qor::test::ScopedEnvironment environment;
    environment.set("QOR_DEBUG", "load");
    environment.set("QOR_DEBUG_FILE", std::nullopt);
    const ToolRun load = qorHost(scenario + " --quiet", "2>&1 >/dev/null");
    EXPECT_THAT(load.output,
                HasSubstr("QOR load: slider 1.0: initialize for instance w1 returned 0"));
    EXPECT_THAT(load.output, Not(HasSubstr("QOR messages:")));
    EXPECT_THAT(load.output, Not(HasSubstr("QOR: diagnostics on")));
    environment.set("QOR_DEBUG", std::nullopt);
    EXPECT_EQ(qorHost(scenario + " --quiet", "2>&1 >/dev/null").output, "");
}

TEST(QorHost, AppletsDirectoryIsTakenFromTheCurrentDirectory) {
    const std::filesystem::path applets(QOR_SAMPLE_APPLETS);
    const ToolRun run = qorHost("run --quiet --applets " + applets.filename().string(), "2>&1");
    EXPECT_NE(run.exitCode, 0) << "found from a directory other than the current one";
    const ToolRun fromParent = qorHost("run --quiet --applets " + applets.filename().string(),
                                       "2>&1", applets.parent_path().string());
    EXPECT_EQ(fromParent.exitCode, 0) << fromParent.output;
    EXPECT_EQ(fromParent.output, "passed: 10 steps, 0 failed expectations\n");
    EXPECT_THAT(qorHost("--help").output, HasSubstr("or any directory of your own"));

    // A folder that is not there is said to be so, before anything runs.
    const ToolRun missing = qorHost("run --applets no-such-folder", "2>&1", kScenarios);
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_THAT(missing.output, HasSubstr("qor-host: --applets no-such-folder: not a directory: "
                                          "No such file or directory ("));
    const ToolRun file = qorHost("run --applets " + kScenarios + "/loop.bindings.xml");
    EXPECT_EQ(file.exitCode, 2);
    EXPECT_THAT(file.output, HasSubstr("loop.bindings.xml: not a directory: it is a file"));
}

TEST(QorHost, StopOnFailureAndWholePayloads) {
    const ToolRun stopped =
        qorHost("run --stop-on-failure " + kScenarios + "/failing.scenario.xml");
    EXPECT_EQ(stopped.exitCode, 1);
    EXPECT_THAT(stopped.output, HasSubstr("FAILED: 3 steps (1 played), 1 failed expectation\n"));
    EXPECT_THAT(stopped.output, Not(HasSubstr(":6:")));

    const std::string wholePath =
        std::filesystem::path(QOR_SAMPLE_LABEL).make_preferred().string() + "\"/>";
    EXPECT_THAT(qorHost("run").output, Not(HasSubstr(wholePath)));
    const ToolRun full = qorHost("run --full");
    EXPECT_THAT(full.output, HasSubstr(wholePath));
}

// QOR is told by the identity in its file, under any name and in any folder, and none of its code
// runs for it: --version reads the library's version from there, --library refuses a library
// without it (an applet with all three exports), check-applet refuses QOR as QOR's load does.
TEST(QorHost, QorIsToldByItsIdentity) {
    const std::string version = std::to_string(QOR_VERSION_MAJOR) + "." +
                                std::to_string(QOR_VERSION_MINOR) + "." +
                                std::to_string(QOR_VERSION_PATCH);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("qor_host_identity_" + version);
    std::filesystem::create_directories(folder);
    const std::string copy = (folder / "renamed_copy.so").string();
    std::filesystem::copy_file(QOR_LIBRARY_PATH, copy,
                               std::filesystem::copy_options::overwrite_existing);

    const ToolRun own = qorHost("--version");
    EXPECT_EQ(own.exitCode, 0) << own.output;
    EXPECT_THAT(own.output,
                ::testing::StartsWith("qor-host " + version + "\nlibrary " + version + " "));
    const ToolRun copied = qorHost("--version --library " + copy);
    EXPECT_EQ(copied.exitCode, 0) << copied.output;
    EXPECT_THAT(copied.output, HasSubstr("\nlibrary " + version + " " + copy + "\n"));

    const struct {
        std::string arguments;
        int exitCode;
        std::string says;
    } cases[] = {
        {std::string("--version --library ") + QOR_FIXTURE_APPLET, 3,
         ": not a QOR library (it carries no QOR identity)"},
        {std::string("run --library ") + QOR_FIXTURE_APPLET, 3,
         ": not a QOR library (it carries no QOR identity)"},
        {"--version --library /nowhere/libqor.so", 3, "cannot read /nowhere/libqor.so"},
        {std::string("check-applet ") + QOR_LIBRARY_PATH, 2,
         std::string(": cannot be loaded: ") + QOR_LIBRARY_PATH + " is QOR itself, not an applet"},
        {"check-applet " + copy, 2,
         ": cannot be loaded: " + copy + " is QOR itself, not an applet"},
    };
    for (const auto& refused : cases) {
        const ToolRun run = qorHost(refused.arguments);
        EXPECT_EQ(run.exitCode, refused.exitCode) << refused.arguments << '\n' << run.output;
        EXPECT_THAT(run.output, HasSubstr(refused.says)) << refused.arguments;
        EXPECT_THAT(run.output, Not(HasSubstr("initialize("))) << refused.arguments;
    }
    std::filesystem::remove_all(folder);
}

TEST(ElementStarts, AStartTagOverSeveralLinesIsFoundWhereItBegins) {
    const qor::host::ElementStarts starts(
        "<a>\n"
        "  <send x=\"1>\"\n"
        "     y='2'>\n"
        "  <sendMore\n"
        "  />\n"
        "  <send/></a>\n");
    EXPECT_EQ(starts.startLine("send", 3), 2);  // a '>' inside a value does not end the tag
    EXPECT_EQ(starts.startLine("sendMore", 5), 4);
    EXPECT_EQ(starts.startLine("send", 6), 6);
    EXPECT_EQ(starts.startLine("send", 5), 5);  // no <send> ends there: the line stays
    EXPECT_EQ(starts.startLine("send", 0), 0);
    EXPECT_EQ(starts.startLine("send", 99), 99);
}

TEST(QorHost, CheckAppletTellsWhichOwnExportsAnAppletHas) {
    const ToolRun whole = qorHost(std::string("check-applet ") + QOR_FIXTURE_APPLET);
    EXPECT_EQ(whole.exitCode, 0) << whole.output;
    EXPECT_THAT(whole.output, HasSubstr("initialize: exported\n  processMessage: exported\n"
                                        "  finalize: exported\n"));
    EXPECT_THAT(whole.output, HasSubstr("<appletInstanceID>w1</appletInstanceID>"));
    EXPECT_THAT(whole.output, HasSubstr("ok: a complete applet"));

#if defined(_WIN32)
    // A module's exports are its own table alone: no dependency can lend it a name.
    const char* const lackingProcessMessage[] = {QOR_FIXTURE_NO_PROCESS_MESSAGE};
    const char* const lackingInitialize = QOR_FIXTURE_NO_INITIALIZE;
#else
    // The name a dependency exports does not count, whether the dependency is QOR or another.
    const char* const lackingProcessMessage[] = {QOR_FIXTURE_NO_PROCESS_MESSAGE_OVER_HELPER,
                                                 QOR_FIXTURE_NO_PROCESS_MESSAGE_OVER_QOR};
    const char* const lackingInitialize = QOR_FIXTURE_NO_INITIALIZE_OVER_QOR;
#endif
    for (const char* lacking : lackingProcessMessage) {
        const ToolRun run = qorHost(std::string("check-applet ") + lacking);
        EXPECT_EQ(run.exitCode, 1) << run.output;
        EXPECT_THAT(run.output, HasSubstr("processMessage: missing, every message to the applet "
                                          "is answered \"<undefined/>\""));
        EXPECT_THAT(run.output, HasSubstr("not ok"));
    }
    const ToolRun noInitialize = qorHost(std::string("check-applet ") + lackingInitialize);
    EXPECT_EQ(noInitialize.exitCode, 1) << noInitialize.output;
    EXPECT_THAT(noInitialize.output, HasSubstr("initialize: missing"));
    EXPECT_THAT(noInitialize.output, Not(HasSubstr("initialize(")));

    // What the applet logs in its finalize comes before what finalize returned.
    const ToolRun label = qorHost(std::string("check-applet ") + QOR_SAMPLE_LABEL);
    EXPECT_EQ(label.exitCode, 0) << label.output;
    EXPECT_THAT(label.output, HasSubstr("finalize(\"\")\n  applet logged 30 LabelApplet: label "
                                        "closed\n  returned 0\n"));

    const ToolRun missing = qorHost("check-applet /nowhere/applet.so");
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_THAT(missing.output, HasSubstr("/nowhere/applet.so"));
    EXPECT_THAT(missing.output, HasSubstr(": cannot be loaded: "));
    // A relative path is named with where it led from the current directory.
    const ToolRun relative = qorHost("check-applet nowhere/applet.so", "2>&1", kScenarios);
    EXPECT_THAT(relative.output, HasSubstr("nowhere/applet.so ("));
    EXPECT_THAT(relative.output, HasSubstr("applet.so): cannot be loaded: "));
    EXPECT_EQ(qorHost("check-applet").exitCode, 2);
}

}  // namespace
