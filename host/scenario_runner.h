#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "scenario.h"

namespace qor::host {

struct RunOptions {
    std::string library;  // libqor.so to load
    bool quiet = false;
    int32_t logLevel = 0;  // log lines below this level are not shown
    bool mermaid = false;
    std::optional<std::string> traceFile;  // where the diagram goes; standard output without
};

// Exit codes of a run.
enum ExitCode : int {
    kExitSuccess = 0,
    kExitExpectationFailed = 1,
    kExitBadInput = 2,
    kExitCannotLoad = 3,
};

// Loads libqor.so, initializes it with a stand-in Core, plays the steps, finalizes, and reports
// every expectation that failed. Throws HostError for files it cannot use and std::runtime_error
// when libqor.so cannot be loaded.
int runScenario(const Scenario& scenario, const RunOptions& options, std::ostream& out);

}  // namespace qor::host
