/*
 * qor.dll loaded for the callee-pops host. Compiled with the default convention: the Windows
 * headers do not expect -mrtd. Its functions are __cdecl, so the host, built with -mrtd, calls
 * them correctly.
 */
#pragma once

#include <wchar.h>

#include "qor/plugin.h"

typedef struct QorLibrary {
    void* module;
    InitializeFunction initialize;
    SendFunction processMessage;
    FinalizeFunction finalize;
} QorLibrary;

/* Loads the library and looks its three entry points up; false (and a line on standard error)
 * when any step fails. */
_Bool __cdecl loadQorLibrary(const wchar_t* path, QorLibrary* qor);
void __cdecl unloadQorLibrary(QorLibrary* qor);
