#include "shell/forward_create_process.h"

namespace qor::shell {

BOOL forwardCreateProcess(const wchar_t* library, const char* function,
                          const CreateProcessArguments& arguments) {
    using CreateProcessWithToken = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID,
                                                 LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);
    HMODULE module = LoadLibraryW(library);
    if (module == nullptr) {
        return FALSE;
    }
    BOOL result = FALSE;
    if (const auto forwarded = reinterpret_cast<CreateProcessWithToken>(
            reinterpret_cast<void (*)()>(GetProcAddress(module, function)))) {
        result = forwarded(arguments.token, arguments.logonFlags, arguments.applicationName,
                           arguments.commandLine, arguments.creationFlags, arguments.environment,
                           arguments.currentDirectory, arguments.startupInfo,
                           arguments.processInformation);
    }
    // The forwarded call's own last-error code stays what the caller sees.
    const DWORD lastError = GetLastError();
    FreeLibrary(module);
    SetLastError(lastError);
    return result;
}

}  // namespace qor::shell
