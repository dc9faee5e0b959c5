#include "scenario_runner.h"

#include <cerrno>
#include <fstream>

#include "host_error.h"
#include "qor_diagnostics.h"
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

    void fail(const ScenarioStep& step, int line, const std::string& what) {
        ++failures_;
        trace_.failure(located(scenario_.path, step, line) + ": " + what);
    }

    void reply(const ScenarioStep& step, const std::optional<std::u16string>& reply) {
        const std::u16string text = reply.value_or(u"");
        if (step.expectReply && (!reply || text != *step.expectReply)) {
            fail(step, step.line,
                 "expected the reply \"" + narrow(*step.expectReply) + "\", got " +
                     (reply ? std::string("\"").append(narrow(text)).append("\"")
                            : std::string("null")));
        }
        if (step.expectReplyContains && !contains(text, *step.expectReplyContains)) {
            fail(step, step.line,
                 "expected a reply containing \"" + narrow(*step.expectReplyContains) +
                     "\", got \"" + narrow(text) + "\"");
        }
    }

    void core(const ScenarioStep& step, const CoreExpectation& expectation,
              const std::vector<ReceivedMessage>& received, std::size_t from) {
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
            fail(step, expectation.line,
                 "expected " +
                     (expectation.count ? std::to_string(*expectation.count) : std::string("a")) +
                     " " + narrow(expectation.command) + " message" +
                     (expectation.dataContains
                          ? " containing \"" + narrow(*expectation.dataContains) + "\""
                          : std::string()) +
                     " to reach Core, " + std::to_string(matches) + " did");
        }
    }

    void log(const ScenarioStep& step, const LogExpectation& expectation,
             const std::vector<LogEntry>& logs, std::size_t from) {
        for (std::size_t i = from; i < logs.size(); ++i) {
            if ((expectation.level == 0 || logs[i].level == expectation.level) &&
                contains(logs[i].text, expectation.contains)) {
                return;
            }
        }
        fail(step, expectation.line,
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
    // Declared first, gone last: QOR's diagnostics file outlives the library that writes it.
    QorDiagnostics diagnostics;
    const QorModule qor(options.library);
    RecordingCore recorder;
    StandInCore core(recorder, qor.processMessageFunction());
    if (scenario.catalogue) {
        core.catalogue().load(*scenario.catalogue);
    }
    if (scenario.locale) {
        core.catalogue().setLocale(*scenario.locale);
    }

    // Everything in the order it happened: what QOR wrote of the applets meanwhile comes first.
    Trace trace(out, options.trace);
    diagnostics.onEvent = [&](const QorEvent& event) { trace.qor(event); };
    recorder.onReceive = [&](const ReceivedMessage& m) {
        diagnostics.poll();
        trace.coreReceives(m);
    };
    recorder.onReply = [&](const ReceivedMessage& m, const std::optional<std::u16string>& r) {
        diagnostics.poll();
        trace.coreReplies(m, r);
    };
    recorder.onLog = [&](const LogEntry& entry) {
        diagnostics.poll();
        trace.log(entry);
    };
    core.onSend = [&](const OutgoingMessage& m) {
        diagnostics.poll();
        trace.coreSends(m);
    };
    core.onReply = [&](const OutgoingMessage& m, const std::optional<std::u16string>& r) {
        diagnostics.poll();
        trace.coreIsAnswered(m, r);
    };

    trace.note("playing " + scenario.path + " (" + narrow(scenario.name) + ") with " +
               options.library);
    HostContext context = recorder.context();
    {
        const QorDiagnostics::Asked asked = diagnostics.ask();
        qor.initialize(u"<arguments/>", &context);
    }

    Checker checker(scenario, trace);
    bool finalized = false;
    std::size_t played = 0;
    for (const ScenarioStep& step : scenario.steps) {
        if (options.stopOnFailure && checker.failures() > 0) {
            trace.note("stopped after the step at " + scenario.steps[played - 1].label() +
                       ": an expectation failed");
            break;
        }
        ++played;
        const std::size_t receivedBefore = recorder.received.size();
        const std::size_t logsBefore = recorder.logs.size();
        if (step.kind == ScenarioStep::Kind::kFinalize) {
            trace.note(step.label() + "  Host -> QOR  finalize");
            qor.finalize();
            diagnostics.poll();
            finalized = true;
        } else {
            finalized = false;
            trace.hostSends(step.label(), step.message);
            const std::optional<std::u16string> reply =
                sendMessage(qor.processMessageFunction(), step.message);
            diagnostics.poll();
            trace.hostReceives(reply);
            checker.reply(step, reply);
        }
        for (const CoreExpectation& expectation : step.expectCore) {
            checker.core(step, expectation, recorder.received, receivedBefore);
        }
        for (const LogExpectation& expectation : step.expectLog) {
            checker.log(step, expectation, recorder.logs, logsBefore);
        }
    }
    if (!finalized) {
        qor.finalize();
        diagnostics.poll();
    }

    if (options.mermaid) {
        if (options.traceFile) {
            errno = 0;
            std::ofstream file(*options.traceFile);
            const int error = errno;
            file << trace.mermaid();
            if (!file) {
                throw HostError(*options.traceFile, 0,
                                "cannot be written: " + unusableFile(*options.traceFile, error));
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
