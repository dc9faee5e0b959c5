/*
 * A minimal host: loads libqor.so, initialises it with a Core of its own, loads the label sample
 * applet and its bindings, asks it to show its localized caption, unloads it and finalizes. Exits
 * 0 when every step answered as expected, 1 otherwise.
 *
 *   usage: minimal_host LIBQOR APPLET
 *     LIBQOR  libqor.so: a path, or the bare name "libqor.so" for the loader's search path
 *     APPLET  the label applet (liblabel.so): absolute, or relative to the current directory;
 *             its bindings file, label.bindings.xml, lies beside it
 */
#include <dlfcn.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "qor/host_support.h"
#include "qor/plugin.h"

/* QOR's three entry points. */
typedef struct Qor {
    void* library;
    InitializeFunction initialize;
    SendFunction processMessage;
    FinalizeFunction finalize;
} Qor;

/* POSIX lets dlsym's object pointer stand for a function; ISO C has no conversion between the
 * two, so the pointer's bytes are copied. */
_Static_assert(sizeof(void*) == sizeof(SendFunction), "function pointers are object-sized");

static bool findEntryPoint(void* library, const char* name, void* function) {
    void* symbol = dlsym(library, name);
    if (symbol == NULL) {
        fprintf(stderr, "minimal_host: no %s: %s\n", name, dlerror());
        return false;
    }
    memcpy(function, &symbol, sizeof symbol);
    return true;
}

static bool loadQor(const char* path, Qor* qor) {
    qor->library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (qor->library == NULL) {
        fprintf(stderr, "minimal_host: %s\n", dlerror());
        return false;
    }
    if (findEntryPoint(qor->library, "initialize", &qor->initialize) &&
        findEntryPoint(qor->library, "processMessage", &qor->processMessage) &&
        findEntryPoint(qor->library, "finalize", &qor->finalize)) {
        return true;
    }
    dlclose(qor->library);
    return false;
}

/* Core: answers the localization request for the caption, and every other message with the
 * empty text (RegisterProperties too: this Core keeps no subscriptions). Its replies are static
 * texts, so it leaves the release slot null. */
static const char16_t* QOR_CALL coreReceives(const MessageRecord* record,
                                             ReleaseFunction* outRelease) {
    *outRelease = NULL;
    char* command = qorUtf16ToUtf8(record->command);
    printf("Core received %s\n", command != NULL ? command : "?");
    const bool localize = command != NULL && strcmp(command, "LocalizeData") == 0;
    qorFreeText(command);
    return localize ? u"Volume" : u"";
}

static void QOR_CALL coreLogs(int32_t level, const char16_t* module, const char16_t* component,
                              const char16_t* reserved1, const char16_t* reserved2,
                              const char16_t* format, ...) {
    (void)reserved1;
    (void)reserved2;
    va_list values;
    va_start(values, format);
    char* line = qorFormatLogLine(level, module, component, format, values);
    va_end(values);
    if (line != NULL) {
        printf("log %s\n", line);
    }
    qorFreeText(line);
}

/* Sends a message to QOR and compares the reply with the expected text. */
static bool send(const Qor* qor, const char16_t* targetType, const char16_t* command,
                 const char16_t* data, const char* expected) {
    MessageRecord record = {0};
    record.version = 1;
    record.targetType = targetType;
    record.targetID = u"label";
    record.targetVersion = u"1.0";
    record.targetInstanceID = u"w1";
    record.sourceID = u"Core";
    record.sourceVersion = u"";
    record.sourceInstanceID = u"";
    record.command = command;
    record.data = data;
    record.flagB = 1;
    ReleaseFunction release = NULL;
    const char16_t* reply = qor->processMessage(&record, &release);
    char* text = qorUtf16ToUtf8(reply);
    if (reply != NULL && release != NULL) {
        release(reply); /* exactly once, with the function handed back */
    }
    const bool met = text != NULL && strcmp(text, expected) == 0;
    char* name = qorUtf16ToUtf8(command);
    printf("%s answered \"%s\"%s\n", name != NULL ? name : "?", text != NULL ? text : "(null)",
           met ? "" : " (unexpected)");
    qorFreeText(name);
    qorFreeText(text);
    return met;
}

/* The LoadUIApplet payload for the label applet at `path`, with the XML escapes it needs. */
static char16_t* loadPayload(const char* path) {
    static const char kHead[] =
        "<applet appletID=\"label\" appletVersion=\"1.0\" instanceID=\"w1\" appletPath=\"";
    char* payload = malloc(sizeof kHead + strlen(path) * 6 + 3);
    if (payload == NULL) {
        return NULL;
    }
    char* out = payload + sprintf(payload, "%s", kHead);
    for (const char* at = path; *at != '\0'; ++at) {
        const char* escape = *at == '&'   ? "&amp;"
                             : *at == '<' ? "&lt;"
                             : *at == '"' ? "&quot;"
                                          : NULL;
        out += escape != NULL ? sprintf(out, "%s", escape) : sprintf(out, "%c", *at);
    }
    strcpy(out, "\"/>");
    char16_t* utf16 = qorUtf8ToUtf16(payload);
    free(payload);
    return utf16;
}

/* The whole text of a file, zero-terminated; null when it cannot be read. Free it with free. */
static char* readFile(const char* path) {
    FILE* file = fopen(path, "rb");
    if (file == NULL) {
        fprintf(stderr, "minimal_host: cannot read %s\n", path);
        return NULL;
    }
    char* text = NULL;
    size_t length = 0;
    char chunk[4096];
    for (size_t count; (count = fread(chunk, 1, sizeof chunk, file)) > 0; length += count) {
        char* grown = realloc(text, length + count + 1);
        if (grown == NULL) {
            free(text);
            fclose(file);
            return NULL;
        }
        text = grown;
        memcpy(text + length, chunk, count);
    }
    fclose(file);
    if (text == NULL) {
        text = calloc(1, 1);
    } else {
        text[length] = '\0';
    }
    return text;
}

/* The LoadBindings payload for the label in window w1: label.bindings.xml, beside the applet, as
 * qorLoadBindingsPayload wraps it (it leaves out the file's XML declaration, which may not stand
 * inside the payload, and says what is wrong with a text that would not work). */
static char16_t* bindingsPayload(const char* appletPath) {
    const char* slash = strrchr(appletPath, '/');
    const size_t directory = slash != NULL ? (size_t)(slash - appletPath) + 1 : 0;
    char* path = malloc(directory + sizeof "label.bindings.xml");
    if (path == NULL) {
        return NULL;
    }
    memcpy(path, appletPath, directory);
    strcpy(path + directory, "label.bindings.xml");
    char* text = readFile(path);
    char* error = NULL;
    char16_t* payload =
        text != NULL ? qorLoadBindingsPayload(u"label", u"1.0", u"w1", text, &error) : NULL;
    if (error != NULL) {
        fprintf(stderr, "minimal_host: %s: %s\n", path, error);
    }
    qorFreeText(error);
    free(text);
    free(path);
    return payload;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: minimal_host LIBQOR APPLET\n");
        return 1;
    }
    Qor qor;
    if (!loadQor(argv[1], &qor)) {
        return 1;
    }
    HostContext context = {0};
    context.sendMessage = coreReceives; /* QOR -> Core */
    context.logMessage = coreLogs;      /* QOR's log lines */
    bool passed = qor.initialize(u"<arguments/>", &context) == 0;

    char16_t* load = loadPayload(argv[2]);
    char16_t* bindings = bindingsPayload(argv[2]);
    passed = passed && load != NULL && bindings != NULL &&
             send(&qor, u"Core", u"LoadUIApplet", load, "true") &&
             send(&qor, u"Core", u"LoadBindings", bindings, "true") &&
             send(&qor, u"Applet", u"ShowCaption", u"", "Volume") &&
             send(&qor, u"Core", u"UnloadUIApplet",
                  u"<applet appletID=\"label\" appletVersion=\"1.0\" instanceID=\"w1\"/>", "true");
    qorFreeText(load);
    qorFreeText(bindings);

    qor.finalize(NULL); /* unloads any applet still loaded */
    dlclose(qor.library);
    printf("%s\n", passed ? "minimal host: passed" : "minimal host: FAILED");
    return passed ? 0 : 1;
}
