#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace qor::test {

// What the tests need from the system they run on; one file per platform.

// True while the library at a path is mapped into this process.
bool isLibraryMapped(const std::string& path);
// This process's identifier, to name files of its own.
int currentProcessId();
// Forgets the graphical display the environment names, so that nothing measures a real screen
// unless a test sets one up (Linux); nothing to do on Windows.
void forgetDisplay();

// A command line run through the system's shell, from `directory` when one is given, with the
// redirections of `streams` ("2>&1": standard output and standard error together; /dev/null
// names the null device on every platform): what it printed to the pipe, and its exit code (-1
// when it did not exit normally).
struct CommandRun {
    int exitCode = -1;
    std::string output;
};
CommandRun runCommand(const std::string& program, const std::string& arguments,
                      const std::string& streams = "2>&1", const std::string& directory = "");
// Runs `work` with this process's standard error going to a file; what was written to it.
std::string capturedStandardError(const std::function<void()>& work);
// Everything a stream gives until its end (both platforms).
std::string readAll(std::FILE* stream);

// The system's reasons for libraries that do not load, as the "Load error" line carries them.
struct LoadFailureReasons {
    const char16_t* missingFile;
    const char16_t* notALibrary;
    const char16_t* directory;
    const char16_t* nameTooLong;
    // A library built for another processor (see markForeignArchitecture).
    const char16_t* foreignArchitecture;
};
const LoadFailureReasons& loadFailureReasons();

// Makes a copy of a library claim to be for AArch64: the machine field of its ELF or PE header.
void markForeignArchitecture(const std::string& path);

// True when the XML DOM tells the line a node stood on (libxml2 does; the Windows DOM does not,
// so qor-host's messages there name the file without a line).
bool domTellsLines();

// True when a copy of a subtree holding a node moved within its document keeps that node's
// namespace (libxml2 does, as QOR keeps its tree; Wine's DOM copies look a moved node's prefix up
// where the node stands now). QOR's own messages never move a node within a document.
bool copiesKeepMovedNamespaces();

}  // namespace qor::test
