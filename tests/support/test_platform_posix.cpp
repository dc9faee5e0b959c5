#include "support/test_platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qor::test {

bool isLibraryMapped(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) {
        return false;
    }
    dlclose(handle);
    return true;
}

int currentProcessId() {
    return static_cast<int>(getpid());
}

void forgetDisplay() {
    unsetenv("DISPLAY");
}

CommandRun runCommand(const std::string& program, const std::string& arguments,
                      const std::string& streams, const std::string& directory) {
    const std::string command = (directory.empty() ? "" : "cd '" + directory + "' && ") + program +
                                " " + arguments + " " + streams;
    CommandRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    run.output = readAll(pipe);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string capturedStandardError(const std::function<void()>& work) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("qor-stderr-" + std::to_string(getpid()) + ".txt");
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int capture = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    dup2(capture, STDERR_FILENO);
    close(capture);
    work();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    std::filesystem::remove(file);
    return text.str();
}

const LoadFailureReasons& loadFailureReasons() {
    static const LoadFailureReasons reasons{u"cannot open shared object file",
                                            u"invalid ELF header", u"cannot read file data",
                                            u"File name too long", u"foreign.so"};
    return reasons;
}

bool copiesKeepMovedNamespaces() {
    return true;
}

bool domTellsLines() {
    return true;
}

void markForeignArchitecture(const std::string& path) {
    // e_machine, at offset 18: 183 is AArch64.
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(18);
    const char machine[2] = {static_cast<char>(183), 0};
    file.write(machine, 2);
}

}  // namespace qor::test
