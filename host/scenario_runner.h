#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "scenario.h"
#include "trace.h"

namespace qor::host {

struct RunOptions {
    std::string library;  // libqor.so to load
    TraceOptions trace;
    bool mermaid = false;
    std::optional<std::string> traceFile;  // where the diagram goes; `diagram` without
    bool stopOnFailure = false;            // play no step after one whose expectation failed
};

// Exit codes of a run.
enum ExitCode : int {
    kExitSuccess = 0,
    kExitExpectationFailed = 1,
    kExitBadInput = 2,
    kExitCannotLoad = 3,
};

// Loads libqor.so, initializes it with a stand-in Core, plays the steps, finalizes, and reports
// every expectation that failed to `out`. The Mermaid diagram, when asked for without a trace
// file, goes to `diagram`. Throws HostError for files it cannot use and std::runtime_error when
// libqor.so cannot be loaded.
int runScenario(const Scenario& scenario, const RunOptions& options, std::ostream& out,
                std::ostream& diagram);

}  // namespace qor::host
