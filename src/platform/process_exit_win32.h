#pragma once

namespace qor::platform {

// Windows: the process is ending (DLL_PROCESS_DETACH with a non-null reserved argument). The
// loader lock is held and other threads are gone: from then on no library is freed (QOR's static
// objects are destroyed after DllMain returns, and with them the applets' handles).
void noteProcessExit();

}  // namespace qor::platform
