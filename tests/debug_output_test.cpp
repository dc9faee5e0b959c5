// QOR_DEBUG: the diagnostics a person asks for, through libqor loaded as a host loads it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/qor_harness.h"
#include "support/scoped_environment.h"
#include "support/test_platform.h"

namespace {

using qor::test::Outgoing;
using qor::test::QorHarness;
using qor::test::ScopedEnvironment;
using ::testing::HasSubstr;
using ::testing::Not;

std::u16string u16(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

class DebugOutput : public QorHarness {
  protected:
    // A run that gives every category something to tell: an applet loaded, its event reported to
    // Core, a LoadBindings payload that does not parse, an applet that is not there, unloads.
    void play() {
        send(u"LoadUIApplet",
             u"<applet appletID=\"slider\" appletVersion=\"1.0\" "
             u"instanceID=\"w1\" appletPath=\"" +
                 u16(QOR_SAMPLE_SLIDER) + u"\"/>");
        Outgoing move;
        move.targetType = u"Applet";
        move.targetID = u"slider";
        move.targetVersion = u"1.0";
        move.targetInstanceID = u"w1";
        move.command = u"MoveSlider";
        move.data = u"<value>42</value>";
        send(move);
        // The bindings file's declaration embedded as it stands: not well formed.
        send(u"LoadBindings",
             u"<applet><CommandLineArguments><appletID>slider</appletID><?xml version=\"1.0\"?>"
             u"<bindings/></CommandLineArguments></applet>");
        send(u"LoadUIApplet",
             u"<applet appletID=\"ghost\" appletVersion=\"1\" instanceID=\"w1\" "
             u"appletPath=\"no-such-applet.so\"/>");
        send(u"UnloadUIApplet",
             u"<applet appletID=\"slider\" appletVersion=\"1.0\" instanceID=\"w1\"/>");
        send(u"UnloadUIApplet",
             u"<applet appletID=\"nobody\" appletVersion=\"1\" "
             u"instanceID=\"w1\"/>");
        qor.finalize();
    }

    const std::filesystem::path file_ =
        std::filesystem::temp_directory_path() /
        ("qor-debug-" + std::to_string(qor::test::currentProcessId()) + ".log");
};

TEST_F(DebugOutput, EachCategoryWritesItsOwnLinesAndNoneWritesNothing) {
    const std::string load = "QOR load: ";
    const std::string xml = "QOR xml: ";
    const std::string messages = "QOR messages: ";
    struct Case {
        std::optional<std::string> value;
        std::vector<std::string> written;
        std::vector<std::string> notWritten;
    };
    const std::vector<Case> cases = {
        {std::nullopt, {}, {"QOR"}},
        {"", {}, {"QOR"}},
        {"0", {}, {"QOR"}},
        {"load",
         {"QOR: diagnostics on: load\n",
          load + "log 30 QORAppletManager: Loading Applet - slider for WindowID - w1\n",
          load + "slider 1.0: opened " + QOR_SAMPLE_SLIDER +
              ", its own exports: initialize, processMessage, finalize\n",
          load + "slider 1.0: initialize for instance w1 returned 0\n",
          load + "ghost 1: cannot open \"no-such-applet.so\": ",
          load + "log 40 QORAppletManager: Load error: ",
          load + "slider 1.0: finalize(\"\") returned 0\n",
          load + "UnloadUIApplet: no applet \"nobody\" version \"1\" is registered\n"},
         {xml, messages}},
        {"xml",
         {xml + "report 40 XMLParser: initWithXMLString refused a text at line "},
         {load, messages}},
        {"messages",
         {messages + "enter depth=1 from=\"host\" command=\"MoveSlider\" targetType=\"Applet\" "
                     "targetID=\"slider\" targetVersion=\"1.0\" targetInstanceID=\"w1\"",
          messages + "call to=\"applet\" applet=\"slider\" appletVersion=\"1.0\" "
                     "function=\"processMessage\" command=\"MoveSlider\"",
          messages + "enter depth=2 from=\"applet\" applet=\"slider\" appletVersion=\"1.0\" "
                     "command=\"PropertyChange\" targetType=\"Core\"",
          messages + "answer depth=2 command=\"PropertyChange\" answer=",
          messages + "call to=\"Core\" function=\"sendMessage\" command=\"RegisterProperties\"",
          messages + "call to=\"applet\" applet=\"slider\" appletVersion=\"1.0\" "
                     "function=\"initialize\" instance=\"w1\" arguments=\"<CommandLineArguments>",
          messages + "return to=\"applet\" applet=\"slider\" appletVersion=\"1.0\" "
                     "function=\"finalize\" result=0\n",
          messages + "answer depth=1 command=\"LoadBindings\" answer=\"false\"\n"},
         {load, xml}},
        {"Load, XML;messages", {load, xml, messages}, {}},
        {"all", {"QOR: diagnostics on: load, xml, messages\n", load, xml, messages}, {}},
        {"1", {load, xml, messages}, {}},
        {"loads,xml",
         {"QOR: QOR_DEBUG: unknown category \"loads\" ignored (the categories: load, xml, "
          "messages, all)\n",
          xml},
         {load}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.value_or("(unset)"));
        std::filesystem::remove(file_);
        {
            ScopedEnvironment environment;
            environment.set("QOR_DEBUG", c.value);
            environment.set("QOR_DEBUG_FILE", file_.string());
            initializeQor();
        }
        play();
        std::ostringstream written;
        written << std::ifstream(file_, std::ios::binary).rdbuf();
        for (const std::string& line : c.written) {
            EXPECT_THAT(written.str(), HasSubstr(line));
        }
        for (const std::string& line : c.notWritten) {
            EXPECT_THAT(written.str(), Not(HasSubstr(line)));
        }
    }
    // Read at initialize: once it has run, the variable changes nothing.
    {
        ScopedEnvironment environment;
        environment.set("QOR_DEBUG", std::nullopt);
        initializeQor();
    }
    std::filesystem::remove(file_);
    {
        ScopedEnvironment environment;
        environment.set("QOR_DEBUG", "all");
        environment.set("QOR_DEBUG_FILE", file_.string());
        play();
    }
    EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(DebugOutput, GoesToStandardErrorAlsoForAHostWithoutALogFunction) {
    ScopedEnvironment environment;
    environment.set("QOR_DEBUG", "load");
    environment.set("QOR_DEBUG_FILE", std::nullopt);
    const std::string written = qor::test::capturedStandardError([this] {
        HostContext context = core.context();
        context.logMessage = nullptr;
        ASSERT_EQ(qor.initialize(u"<arguments/>", &context), 0);
        play();
    });
    EXPECT_THAT(written, HasSubstr("QOR load: log 40 QORAppletManager: Unable to load Applet ID - "
                                   "ghost for window ID - w1\n"));
    EXPECT_TRUE(core.logs.empty());

    // A file that cannot be written: standard error, and why.
    environment.set("QOR_DEBUG_FILE", (file_ / "no-such-directory" / "debug.log").string());
    const std::string fallback = qor::test::capturedStandardError([this] {
        initializeQor();
        play();
    });
    EXPECT_THAT(fallback, HasSubstr("QOR: QOR_DEBUG_FILE: cannot write to "));
    EXPECT_THAT(fallback, HasSubstr("; writing to standard error\n"));
    EXPECT_THAT(fallback, HasSubstr("QOR load: slider 1.0: initialize for instance w1 returned"));

    environment.set("QOR_DEBUG", std::nullopt);
    EXPECT_EQ(qor::test::capturedStandardError([this] {
                  initializeQor();
                  play();
              }),
              "");
}

}  // namespace
