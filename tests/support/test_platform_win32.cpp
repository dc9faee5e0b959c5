#include "support/test_platform.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace qor::test {

bool isLibraryMapped(const std::string& path) {
    // GetModuleHandleW takes no reference and loads nothing.
    return GetModuleHandleW(std::filesystem::path(path).make_preferred().wstring().c_str()) !=
           nullptr;
}

int currentProcessId() {
    return static_cast<int>(GetCurrentProcessId());
}

void forgetDisplay() {}

CommandRun runCommand(const std::string& program, const std::string& arguments,
                      const std::string& streams, const std::string& directory) {
    // cmd.exe reads a leading '/' as a switch: give it the program with backslashes. Its text
    // output is normalised to line feeds, as on Linux.
    std::string redirections = streams;
    for (std::size_t at = redirections.find("/dev/null"); at != std::string::npos;
         at = redirections.find("/dev/null", at)) {
        redirections.replace(at, 9, "NUL");
    }
    const std::string command =
        (directory.empty()
             ? ""
             : "cd /d \"" + std::filesystem::path(directory).make_preferred().string() + "\" && ") +
        "\"" + std::filesystem::path(program).make_preferred().string() + "\" " + arguments + " " +
        redirections;
    CommandRun run;
    FILE* pipe = _popen(command.c_str(), "rt");
    if (pipe == nullptr) {
        return run;
    }
    run.output = readAll(pipe);
    run.exitCode = _pclose(pipe);
    return run;
}

std::string capturedStandardError(const std::function<void()>& work) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("qor-stderr-" + std::to_string(GetCurrentProcessId()) + ".txt");
    HANDLE capture = CreateFileW(file.wstring().c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    const HANDLE saved = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_ERROR_HANDLE, capture);
    work();
    SetStdHandle(STD_ERROR_HANDLE, saved);
    CloseHandle(capture);
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    std::filesystem::remove(file);
    return text.str();
}

// FormatMessageW's texts under Wine.
const LoadFailureReasons& loadFailureReasons() {
    static const LoadFailureReasons reasons{u"Module not found.", u"Bad EXE format",
                                            u"Module not found.", u"Module not found.",
                                            u"Bad EXE format"};
    return reasons;
}

bool copiesKeepMovedNamespaces() {
    return false;
}

bool domTellsLines() {
    return false;
}

void markForeignArchitecture(const std::string& path) {
    // The PE header's Machine field, after "PE\0\0" where e_lfanew (offset 0x3C) points:
    // 0xAA64 is ARM64.
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(0x3C);
    uint32_t peHeader = 0;
    file.read(reinterpret_cast<char*>(&peHeader), sizeof peHeader);
    file.seekp(static_cast<std::streamoff>(peHeader) + 4);
    const char machine[2] = {static_cast<char>(0x64), static_cast<char>(0xAA)};
    file.write(machine, 2);
}

}  // namespace qor::test
