// qor.dll's entry point. The C++ runtime constructs QOR's static objects (the empty command
// table first of all) before the first DLL_PROCESS_ATTACH reaches here, and destroys them after
// the last DLL_PROCESS_DETACH has returned.
#include <windows.h>

#include "platform/process_exit_win32.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE /*module*/, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr) {
        // Process exit: nothing may call FreeLibrary or applet code any more.
        qor::platform::noteProcessExit();
    }
    return TRUE;
}
