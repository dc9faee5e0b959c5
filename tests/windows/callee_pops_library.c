#include "callee_pops_library.h"

#include <stdio.h>
#include <windows.h>

/* FARPROC's own convention is stdcall: the export passes through the one function type that
 * converts to every other without a warning. */
typedef void (*AnyFunction)(void);

static AnyFunction entryPoint(HMODULE module, const char* name) {
    AnyFunction function = (AnyFunction)GetProcAddress(module, name);
    if (function == NULL) {
        fprintf(stderr, "callee_pops_host: qor.dll has no %s\n", name);
    }
    return function;
}

_Bool __cdecl loadQorLibrary(const wchar_t* path, QorLibrary* qor) {
    HMODULE module = LoadLibraryW(path);
    if (module == NULL) {
        fprintf(stderr, "callee_pops_host: cannot load %ls\n", path);
        return 0;
    }
    qor->module = module;
    qor->initialize = (InitializeFunction)entryPoint(module, "initialize");
    qor->processMessage = (SendFunction)entryPoint(module, "processMessage");
    qor->finalize = (FinalizeFunction)entryPoint(module, "finalize");
    if (qor->initialize == NULL || qor->processMessage == NULL || qor->finalize == NULL) {
        unloadQorLibrary(qor);
        return 0;
    }
    return 1;
}

void __cdecl unloadQorLibrary(QorLibrary* qor) {
    FreeLibrary((HMODULE)qor->module);
    qor->module = NULL;
}
