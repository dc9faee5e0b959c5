#pragma once

#include <windows.h>

namespace qor::shell {

// The arguments of CreateProcessWithTokenW, in its own order, passed on untouched.
struct CreateProcessArguments {
    HANDLE token;
    DWORD logonFlags;
    LPCWSTR applicationName;
    LPWSTR commandLine;
    DWORD creationFlags;
    LPVOID environment;
    LPCWSTR currentDirectory;
    LPSTARTUPINFOW startupInfo;
    LPPROCESS_INFORMATION processInformation;
};

// Loads `library`, looks up `function` (a function of CreateProcessWithTokenW's shape), calls it
// with the arguments and frees the library again, also when the lookup failed. FALSE, with no
// last-error code of its own, when the library cannot be loaded or lacks the function. The export
// passes "Advapi32.dll" and "CreateProcessWithTokenW"; tests pass others.
BOOL forwardCreateProcess(const wchar_t* library, const char* function,
                          const CreateProcessArguments& arguments);

}  // namespace qor::shell
