// qor-host: a stand-in host for QOR. It loads libqor.so as a real host does, plays Core, and runs
// scenario files, so that applets can be tried and tested without the real application.

#include <climits>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "applet_check.h"
#include "bindings_check.h"
#include "host_error.h"
#include "platform/executable_path.h"
#include "qor_module.h"
#include "scenario_runner.h"

namespace {

using namespace qor::host;

constexpr const char* kUsage = R"(usage:
  qor-host run [SCENARIO] [options]   play a scenario (the bundled demo without one)
  qor-host check-bindings FILE        tell what LoadBindings will store and skip, and why
  qor-host check-applet LIBRARY       tell which exports an applet library has, try its
                                      initialize and finalize (exit 0 when all is well)
  qor-host --help
  qor-host --version [--library PATH]  this tool's version and that of the QOR library it drives
                                      (read from the library's identity, none of its code run)

options for run:
  --library PATH        libqor.so to load (default: the one next to this tool)
  --applets DIR         a directory of applets, ${APPLETS} in scenarios: the sample applets by
                        default, or any directory of your own (relative to the current directory);
                        ${MODULE_SUFFIX} is the file ending of applets (.so, .dll)
  --log-level N         show log lines at level N and above (default 0: all)
  --quiet               show only failures and the summary
  --full                show payloads and replies whole instead of cut to one short line
  --stop-on-failure     play no further step once an expectation failed
  --trace mermaid       print the exchange as a Mermaid sequence diagram on standard output;
                        the run's own lines and summary then go to standard error
  --trace-file FILE     write the diagram to FILE instead

exit codes of run: 0 every expectation held, 1 an expectation failed,
                   2 bad usage or an unusable file, 3 libqor.so cannot be loaded or is not QOR
                   (a library without QOR's identity, such as an applet)
exit codes of --version: 0, or 3 when the library cannot be read or is not QOR
exit codes of check-bindings: 0 LoadBindings stores every binding as written and answers "true",
                   1 it would skip or replace a binding or answer "false" (a section missing),
                     or an attribute or element is not the bindings document's, or a binding
                     lacks its id, event, command or propertyName
                   2 bad usage or an unusable file
exit codes of check-applet: 0 all three exports are the library's own and initialize returned 0,
                   1 an export is missing or initialize did not return 0,
                   2 bad usage, a library that cannot be loaded, or QOR itself (refused
                     as QOR refuses it as an applet, without running any of its code)
)";

std::filesystem::path executableDirectory() {
    const std::filesystem::path self = qor::platform::executablePath();
    return self.empty() ? std::filesystem::path(".") : self.parent_path();
}

// The installed layout first (relative to this tool), then the build tree it was built in.
std::string locate(const std::filesystem::path& installed, const std::string& built) {
    const std::filesystem::path candidate = executableDirectory() / installed;
    return std::filesystem::exists(candidate) ? candidate.lexically_normal().string() : built;
}

struct CommandLine {
    std::string command;
    std::vector<std::string> arguments;
    RunOptions options;
    std::string applets;
};

CommandLine parse(int argc, char** argv) {
    CommandLine line;
    line.options.library = locate(QOR_INSTALLED_LIBRARY, QOR_BUILT_LIBRARY);
    line.applets = locate(QOR_INSTALLED_APPLETS, QOR_BUILT_APPLETS);
    const std::vector<std::string> words(argv + 1, argv + argc);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= words.size()) {
                throw std::invalid_argument(word + " needs a value");
            }
            return words[++i];
        };
        if (word == "--help" || word == "-h") {
            line.command = "help";
        } else if (word == "--version") {
            line.command = "version";
        } else if (word == "--library") {
            line.options.library = value();
        } else if (word == "--applets") {
            // Only paths inside a scenario are taken from the scenario's directory.
            const std::string& given = value();
            line.applets = std::filesystem::absolute(given).lexically_normal().string();
            std::error_code error;
            if (!std::filesystem::is_directory(line.applets, error)) {
                throw HostError(
                    "--applets " + given, 0,
                    "not a directory: " + (error ? error.message() : std::string("it is a file")) +
                        (line.applets != given ? " (" + line.applets + ")" : ""));
            }
        } else if (word == "--quiet") {
            line.options.trace.quiet = true;
        } else if (word == "--full") {
            line.options.trace.fullPayloads = true;
        } else if (word == "--stop-on-failure") {
            line.options.stopOnFailure = true;
        } else if (word == "--log-level") {
            const std::string& level = value();
            if (level.empty() || level.find_first_not_of("0123456789") != std::string::npos ||
                level.size() > 6) {
                throw std::invalid_argument("--log-level needs a number, not \"" + level + "\"");
            }
            line.options.trace.logLevel = std::stoi(level);
        } else if (word == "--trace") {
            if (value() != "mermaid") {
                throw std::invalid_argument("--trace knows only \"mermaid\"");
            }
            line.options.mermaid = true;
        } else if (word == "--trace-file") {
            line.options.traceFile = value();
        } else if (word.starts_with("-")) {
            throw std::invalid_argument("unknown option " + word);
        } else if (line.command.empty()) {
            line.command = word;
        } else {
            line.arguments.push_back(word);
        }
    }
    return line;
}

int run(const CommandLine& line) {
    if (line.command == "help") {
        std::cout << kUsage;
        return kExitSuccess;
    }
    if (line.command == "version") {
        // The tool's own version first, then the library's, read without running any of it.
        std::cout << "qor-host " << QOR_VERSION << '\n' << std::flush;
        const qor::platform::LibraryVersion library = QorModule::versionOf(line.options.library);
        std::cout << "library " << library.major << '.' << library.minor << '.' << library.patch
                  << ' ' << line.options.library << '\n';
        return kExitSuccess;
    }
    if (line.command == "check-bindings") {
        if (line.arguments.size() != 1) {
            throw std::invalid_argument("check-bindings needs one FILE");
        }
        return checkBindings(line.arguments[0], std::cout);
    }
    if (line.command == "check-applet") {
        if (line.arguments.size() != 1) {
            throw std::invalid_argument("check-applet needs one LIBRARY");
        }
        return checkApplet(line.arguments[0], std::cout);
    }
    if (line.command == "run") {
        if (line.arguments.size() > 1) {
            throw std::invalid_argument("run takes at most one SCENARIO");
        }
        const std::string scenario = line.arguments.empty()
                                         ? locate(QOR_INSTALLED_DEMO, QOR_SOURCE_DEMO)
                                         : line.arguments[0];
        // With the diagram on standard output, everything else goes to standard error.
        const bool diagramOnStdout = line.options.mermaid && !line.options.traceFile;
        return runScenario(loadScenario(scenario, {{"APPLETS", line.applets},
                                                   {"MODULE_SUFFIX", QOR_MODULE_SUFFIX}}),
                           line.options, diagramOnStdout ? std::cerr : std::cout, std::cout);
    }
    throw std::invalid_argument(line.command.empty() ? "no command given"
                                                     : "unknown command " + line.command);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(parse(argc, argv));
    } catch (const std::invalid_argument& error) {
        std::cerr << "qor-host: " << error.what() << "\n\n" << kUsage;
        return kExitBadInput;
    } catch (const HostError& error) {
        std::cerr << "qor-host: " << error.what() << '\n';
        return kExitBadInput;
    } catch (const std::exception& error) {
        std::cerr << "qor-host: " << error.what() << '\n';
        return kExitCannotLoad;
    }
}
