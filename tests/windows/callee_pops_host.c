/*
 * A host built with a callee-pops default convention (gcc -mrtd, as MSVC /Gz): it loads qor.dll,
 * initialises it with a Core of its own, sends a message that QOR passes on to that Core and
 * finalizes. Its callbacks and its pointers to QOR's entry points spell QOR_CALL, so they keep
 * QOR's convention; the Windows calls are made in callee_pops_library.c, built with the default
 * convention. The build reads this file's disassembly; plainAdd, without QOR_CALL, shows that the
 * default convention here really is callee-pops.
 *
 *   usage: callee_pops_host QOR_DLL
 */
#include <stdio.h>

#include "callee_pops_library.h"
#include "qor/plugin.h"

static int coreMessages = 0;

static const char16_t* QOR_CALL coreReceives(const MessageRecord* record,
                                             ReleaseFunction* outRelease) {
    (void)record;
    ++coreMessages;
    *outRelease = NULL;
    return u"true";
}

static void QOR_CALL coreLogs(int32_t level, const char16_t* module, const char16_t* component,
                              const char16_t* reserved1, const char16_t* reserved2,
                              const char16_t* format, ...) {
    (void)module, (void)component, (void)reserved1, (void)reserved2;
    fprintf(stderr, "level %d: %ls\n", (int)level, (const wchar_t*)format);
}

static int32_t plainAdd(int32_t left, int32_t right) {
    return left + right;
}

/* The C runtime calls wmain with its own convention. */
int __cdecl wmain(int argc, wchar_t** argv) {
    int32_t (*volatile add)(int32_t, int32_t) = plainAdd;
    if (argc != 2 || add(1, 1) != 2) {
        fprintf(stderr, "usage: callee_pops_host QOR_DLL\n");
        return 2;
    }
    QorLibrary qor;
    if (!loadQorLibrary(argv[1], &qor)) {
        return 1;
    }
    HostContext context = {0};
    context.sendMessage = coreReceives;
    context.logMessage = coreLogs;
    int failed = qor.initialize(u"<CommandLineArguments/>", &context) != 0;

    const char16_t* empty = u"";
    const MessageRecord ping = {.version = 1,
                                .targetType = u"Core",
                                .targetID = u"Core",
                                .targetVersion = empty,
                                .targetInstanceID = empty,
                                .sourceID = u"host",
                                .sourceVersion = empty,
                                .sourceInstanceID = empty,
                                .command = u"Ping",
                                .data = empty,
                                .flagB = 1};
    ReleaseFunction release = NULL;
    const char16_t* answer = qor.processMessage(&ping, &release);
    failed |= answer == NULL || coreMessages != 1;
    if (answer != NULL && release != NULL) {
        release(answer);
    }
    failed |= qor.finalize(NULL) != 0;
    unloadQorLibrary(&qor);
    return failed;
}
