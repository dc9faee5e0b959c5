#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qor::platform {

// Where the diagnostics a person asked for go: standard error, or a file, and on Windows also
// the debugger (OutputDebugStringW). Each line is written whole with one system call, unbuffered,
// so lines of nested calls and of the host keep their order. Writing never fails loudly: a line
// the system does not take is lost.
class DebugStream {
  public:
    // Standard error, as it is at the time of each write.
    static DebugStream standardError() { return DebugStream(kStandardError, false); }

    // Appends to the file at `path` (UTF-8), creating it; other writers and readers may have it
    // open meanwhile. On failure, standard error, and `error` says why.
    static DebugStream appendingTo(const std::string& path, std::string& error);

    DebugStream(DebugStream&& other) noexcept;
    DebugStream& operator=(DebugStream&& other) noexcept;
    DebugStream(const DebugStream&) = delete;
    DebugStream& operator=(const DebugStream&) = delete;
    ~DebugStream();

    // Writes `line` (UTF-8) and a line feed.
    void writeLine(std::string_view line) const;

  private:
    static constexpr intptr_t kStandardError = -2;

    DebugStream(intptr_t handle, bool owned) : handle_(handle), owned_(owned) {}
    void close();  // one per platform

    intptr_t handle_;  // a file descriptor, or a Windows HANDLE; kStandardError for standard error
    bool owned_;       // closed with this object
};

}  // namespace qor::platform
