#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "outgoing_message.h"

namespace qor::host {

// A message that must (or, with count 0, must not) reach Core during a step.
struct CoreExpectation {
    int line = 0;
    std::u16string command;
    std::optional<std::u16string> targetID;
    std::optional<std::u16string> dataContains;
    std::optional<int> count;  // exactly this many; at least one when absent
};

// A log line that must be written during a step.
struct LogExpectation {
    int line = 0;
    int32_t level = 0;  // any level when 0
    std::u16string contains;
};

// One thing the host does, with what it expects of it.
struct ScenarioStep {
    enum class Kind { kSend, kFinalize };

    int line = 0;    // 0 where the XML DOM tells no lines (Windows)
    int number = 0;  // 1 for the first step
    Kind kind = Kind::kSend;
    OutgoingMessage message;
    std::optional<std::u16string> expectReply;
    std::optional<std::u16string> expectReplyContains;
    std::vector<CoreExpectation> expectCore;
    std::vector<LogExpectation> expectLog;

    // How messages name the step, or one of its expectations (at `line`): "line 12", else
    // "step 3 (MoveSlider)".
    std::string label(int at) const;
    std::string label() const { return label(line); }
};

// A scenario file:
//   <scenario name="...">
//     <catalogue file="messages.xml" locale="fr-CA"/>
//     <loadApplet appletID="" appletVersion="" instanceID="" path="" expect="true"/>
//     <loadBindings appletID="" appletVersion="" instanceID="" file="" expect="true"/>
//     <send command="" targetType="" targetID="" ... expect="" expectContains="">
//       <data>payload markup</data>
//       <expectCore command="" targetID="" dataContains="" count=""/>
//       <expectLog level="" contains=""/>
//     </send>
//     <unloadApplet appletID="" appletVersion="" instanceID="" expect="true"/>
//     <finalize/>
//   </scenario>
// "${APPLETS}" in a value stands for the sample applets' directory and "${SCENARIO_DIR}" for the
// scenario's own; relative file paths are taken from the scenario's directory.
struct Scenario {
    std::string path;
    std::u16string name;
    std::optional<std::string> catalogue;
    std::optional<std::u16string> locale;
    std::vector<ScenarioStep> steps;
};

// "FILE:LINE", else "FILE: step 3 (MoveSlider)": where a step or expectation is, for messages.
std::string located(const std::string& path, const ScenarioStep& step, int line);

// Reads a scenario; throws HostError naming the file and line (or step) when it cannot be used.
Scenario loadScenario(const std::string& path, const std::map<std::string, std::string>& variables);

}  // namespace qor::host
