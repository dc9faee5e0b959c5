// qor.dll's forwarding export: CreateProcessWithTokenW of Advapi32.dll, reached without linking
// against it. Exported as "_CreateProcessWithTokenW@36" (qor.def). Nothing inside QOR calls it.
#include "shell/forward_create_process.h"

extern "C" BOOL WINAPI qorCreateProcessWithTokenW(HANDLE token, DWORD logonFlags,
                                                  LPCWSTR applicationName, LPWSTR commandLine,
                                                  DWORD creationFlags, LPVOID environment,
                                                  LPCWSTR currentDirectory,
                                                  LPSTARTUPINFOW startupInfo,
                                                  LPPROCESS_INFORMATION processInformation) {
    return qor::shell::forwardCreateProcess(
        L"Advapi32.dll", "CreateProcessWithTokenW",
        {token, logonFlags, applicationName, commandLine, creationFlags, environment,
         currentDirectory, startupInfo, processInformation});
}
