#include "scenario_runner.h"

#include <fstream>

#include "host_error.h"
#include "qor_module.h"
#include "recording_core.h"
#include "stand_in_core.h"
#include "trace.h"
#include "xml_file.h"

namespace qor::host {

namespace {

bool contains(const std::u16string& text, const std::u16string& part) {
    return text.find(part) != std::u16string::npos;
}

class Checker {
  public:
    Checker(const Scenario& scenario, Trace& trace) : scenario_(scenario), trace_(trace) {}

    void fail(int line, const std::string& what) {
        ++failures_;
        trace_.failure(scenario_.path + ":" + std::to_string(line) + ": " + what);
    }

    void reply(const ScenarioStep& step, const std::optional<std::u16string>& reply) {
        const std::u16string text = reply.value_or(u"");
        if (step.expectReply && (!reply || text != *step.expectReply)) {
            fail(step.line, "expected the reply \"" + narrow(*step.expectReply) + "\", got " +
                                (reply ? std::string("\"").append(narrow(text)).append("\"")
                                       : std::string("null")));
        }
        if (step.expectReplyContains && !contains(text, *step.expectReplyContains)) {
            fail(step.line, "expected a reply containing \"" + narrow(*step.expectReplyContains) +
                                "\", got \"" + narrow(text) + "\"");
        }
    }

    void core(const CoreExpectation& expectation, const std::vector<ReceivedMessage>& received,
              std::size_t from) {
        int matches = 0;
        for (std::size_t i = from; i < received.size(); ++i) {
            const ReceivedMessage& message = received[i];
            if (message.command == expectation.command &&
                (!expectation.targetID || message.targetID == *expectation.targetID) &&
                (!expectation.dataContains || contains(message.data, *expectation.dataContains))) {
                ++matches;
            }
        }
        const bool met = expectation.count ? matches == *expectation.count : matches > 0;
        if (!met) {
            fail(expectation.line,
                 "expected " +
                     (expectation.count ? std::to_string(*expectation.count) : std::string("a")) +
                     " " + narrow(expectation.command) + " message" +
                     (expectation.dataContains
                          ? " containing \"" + narrow(*expectation.dataContains) + "\""
                          : std::string()) +
                     " to reach Core, " + std::to_string(matches) + " did");
        }
    }

    void log(const LogExpectation& expectation, const std::vector<LogEntry>& logs,
             std::size_t from) {
        for (std::size_t i = from; i < logs.size(); ++i) {
            if ((expectation.level == 0 || logs[i].level == expectation.level) &&
                contains(logs[i].text, expectation.contains)) {
                return;
            }
        }
        fail(expectation.line,
             "expected a log line" +
                 (expectation.level != 0 ? " at level " + std::to_string(expectation.level)
                                         : std::string()) +
                 " containing \"" + narrow(expectation.contains) + "\"");
    }

    int failures() const { return failures_; }

  private:
    const Scenario& scenario_;
    Trace& trace_;
    int failures_ = 0;
};

}  // namespace

int runScenario(const Scenario& scenario, const RunOptions& options, std::ostream& out,
                std::ostream& diagram) {
    const QorModule qor(options.library);
    RecordingCore recorder;
    StandInCore core(recorder, qor.processMessageFunction());
    if (scenario.catalogue) {
        core.catalogue().load(*scenario.catalogue);
    }
    if (scenario.locale) {
        core.catalogue().setLocale(*scenario.locale);
    }

    Trace trace(out, options.trace);
    recorder.onReceive = [&](const ReceivedMessage& m) { trace.coreReceives(m); };
    recorder.onReply = [&](const ReceivedMessage& m, const std::optional<std::u16string>& r) {
        trace.coreReplies(m, r);
    };
    recorder.onLog = [&](const LogEntry& entry) { trace.log(entry); };
    core.onSend = [&](const OutgoingMessage& m) { trace.coreSends(m, recorder.depth()); };
    core.onReply = [&](const OutgoingMessage& m, const std::optional<std::u16string>& r) {
        trace.coreIsAnswered(m, r, recorder.depth());
    };

    trace.note("playing " + scenario.path + " (" + narrow(scenario.name) + ") with " +
               options.library);
    HostContext context = recorder.context();
    qor.initialize(u"<arguments/>", &context);

    Checker checker(scenario, trace);
    bool finalized = false;
    std::size_t played = 0;
    for (const ScenarioStep& step : scenario.steps) {
        if (options.stopOnFailure && checker.failures() > 0) {
            trace.note("stopped after the step at line " +
                       std::to_string(scenario.steps[played - 1].line) + ": an expectation failed");
            break;
        }
        ++played;
        const std::size_t receivedBefore = recorder.received.size();
        const std::size_t logsBefore = recorder.logs.size();
        if (step.kind == ScenarioStep::Kind::kFinalize) {
            trace.note("line " + std::to_string(step.line) + "  Host -> QOR  finalize");
            qor.finalize();
            finalized = true;
        } else {
            finalized = false;
            trace.hostSends(step.line, step.message);
            const std::optional<std::u16string> reply =
                sendMessage(qor.processMessageFunction(), step.message);
            trace.hostReceives(reply);
            checker.reply(step, reply);
        }
        for (const CoreExpectation& expectation : step.expectCore) {
            checker.core(expectation, recorder.received, receivedBefore);
        }
        for (const LogExpectation& expectation : step.expectLog) {
            checker.log(expectation, recorder.logs, logsBefore);
        }
    }
    if (!finalized) {
        qor.finalize();
    }

    if (options.mermaid) {
        if (options.traceFile) {
            std::ofstream file(*options.traceFile);
            file << trace.mermaid();
            if (!file) {
                throw HostError(*options.traceFile, 0, "cannot be written");
            }
        } else {
            diagram << trace.mermaid();
        }
    }
    const std::size_t steps = scenario.steps.size();
    out << (checker.failures() == 0 ? "passed: " : "FAILED: ") << steps << " step"
        << (steps == 1 ? "" : "s");
    if (played < steps) {
        out << " (" << played << " played)";
    }
    out << ", " << checker.failures() << " failed expectation"
        << (checker.failures() == 1 ? "" : "s") << '\n';
    return checker.failures() == 0 ? kExitSuccess : kExitExpectationFailed;
}

}  // namespace qor::host
