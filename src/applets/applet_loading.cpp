#include "applets/applet_loading.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "applets/command_line_arguments.h"
#include "platform/utf8.h"
#include "plugin/debug_output.h"
#include "plugin/log.h"
#include "qor/plugin.h"

namespace qor {

namespace {

// Passes over the registry after the first, at module finalize, for applets that another
// applet's finalize loaded again.
constexpr int kMaxExtraUnloadPasses = 4;

template <typename... Values>
void logApplets(int32_t level, const char16_t* format, Values... values) {
    logLine(level, LogComponent::kAppletManager, format, values...);
}

// Marks a record as being released for the length of a scope. A release nested in it (an applet
// unloading itself from its own finalize) leaves the mark as it found it.
class ReleasingScope {
  public:
    explicit ReleasingScope(AppletRecord& record)
        : record_(record), before_(std::exchange(record.releasing, true)) {}
    ReleasingScope(const ReleasingScope&) = delete;
    ReleasingScope& operator=(const ReleasingScope&) = delete;
    ~ReleasingScope() { record_.releasing = before_; }

  private:
    AppletRecord& record_;
    bool before_;
};

// Calls the applet's finalize and releases its library. The library stays mapped until the
// finalize call has returned, and an unload or reload that the applet does from inside its
// finalize wins over this one. A load for another instance meanwhile is refused.
bool releaseLibrary(AppletRecord& record, const char16_t* finalizeArgument) {
    const ReleasingScope releasing(record);
    const std::shared_ptr<AppletLibrary> library = record.library;
    FinalizeFunction finalizeApplet = nullptr;
    std::shared_ptr<platform::DynamicLibrary> pin;
    if (library && library->hasHandle()) {
        pin = library->pin();
        finalizeApplet = library->exports().finalize;
    }
    if (finalizeApplet != nullptr) {
        logApplets(kLogProgress, u"Callng the finalize function of the applet");
        debugScoped(
            [&] {
                return DebugScope::appletFinalize(record.appletID, record.appletVersion,
                                                  finalizeArgument);
            },
            [&] { return finalizeApplet(finalizeArgument); });
    } else {
        logApplets(kLogProgress, u"The applet does not have a finalize method exposed");
    }
    logApplets(kLogProgress, u"Unloading applet");
    if (library && record.library != library) {
        return true;  // released or replaced by a call the applet made meanwhile
    }
    pin.reset();
    if (!library || !library->release()) {
        logApplets(kLogFailure, u"Unable to properly unload Applet ID - %s",
                   record.appletID.c_str());
        return false;
    }
    // Not loaded, no instances: also after an unload at module finalize, whose instances would
    // otherwise outlive the library they were loaded for.
    record.loaded = false;
    record.instanceIDs.clear();
    record.library.reset();
    return true;
}

// The rest of a load once the library is in the process: the applet's initialize, then the
// record. `initialized` is set once initialize has been called.
void completeLoad(const std::shared_ptr<AppletRecord>& record,
                  const std::shared_ptr<AppletLibrary>& library, const std::u16string& instance,
                  bool& initialized) {
    // Held until initialize returns, whatever the applet does to its registration meanwhile.
    const std::shared_ptr<platform::DynamicLibrary> pin = library->pin();
    debugLibraryOpened(
        record->appletID, record->appletVersion, record->appletPath,
        {library->exports().initialize != nullptr, library->exports().processMessage != nullptr,
         library->exports().finalize != nullptr});
    const InitializeFunction initializeApplet = library->exports().initialize;
    // Otherwise every message to the applet is answered "<undefined/>" and nothing says why.
    if (library->exports().processMessage == nullptr) {
        logApplets(kLogFailure, u"Applet ID - %s does not export processMessage",
                   record->appletID.c_str());
    }
    const std::u16string arguments = commandLineArguments(*record, instance);
    if (initializeApplet != nullptr) {
        HostContext context{};
        context.sendMessage = &processMessage;
        context.logMessage = moduleState().logSlot;
        debugScoped(
            [&] {
                return DebugScope::appletInitialize(record->appletID, record->appletVersion,
                                                    instance, arguments);
            },
            [&] { return initializeApplet(arguments.c_str(), &context); });
        initialized = true;
    } else {
        logApplets(kLogFailure, u"Unable to register callback function for  Applet ID - %s",
                   record->appletID.c_str());
    }
    // A load nested in initialize may have put a reference of its own to this same library in the
    // record; the record's one is released after finalize, so this one can go now.
    if (record->library != library && record->library &&
        record->library->holdsSameLibraryAs(*library)) {
        library->release();
    }
    // A load and an unload nested in initialize took the record's library out again; this load
    // still stands, with this library, and its unload will call finalize again.
    if (!record->library) {
        record->library = library;
    }
    record->loaded = true;
    record->addInstance(instance);
    // The registry as it is now: the applet's initialize may have called back into QOR.
    ensureAppletList()->registerApplet(record);
}

// Takes back a load that an exception interrupted, so that it leaves neither a loaded record nor
// the library in the process: before initialize the library is simply let go; after it, the
// applet's finalize is called first, as for an unload.
void undoLoad(AppletRecord& record, const std::shared_ptr<AppletLibrary>& library,
              bool initialized) {
    if (initialized && record.library) {
        releaseLibrary(record, u"");
    }
    if (record.library == library) {
        record.library.reset();
    }
    library->release();
}

}  // namespace

bool loadApplet(const std::shared_ptr<AppletRecord>& record, std::u16string_view instanceID) {
    if (!record) {
        logApplets(kLogFailure, u"Applet is NULL. Cannot load");
        return false;
    }
    const std::u16string instance(instanceID);
    logApplets(kLogProgress, u"Loading Applet - %s for WindowID - %s", record->appletID.c_str(),
               instance.c_str());
    if (record->loaded) {
        // The applet's finalize has run or is running: it would serve the instance with code
        // that has shut down, and nothing calls initialize for a further instance.
        if (record->releasing) {
            logApplets(kLogFailure,
                       u"Applet ID - %s is being unloaded, cannot load Applet for instance ID - %s",
                       record->appletID.c_str(), instance.c_str());
            return false;
        }
        if (record->addInstance(instance)) {
            return true;
        }
        logApplets(kLogFailure, u"Applet ID - %s is already loaded for instance ID - %s",
                   record->appletID.c_str(), instance.c_str());
        return false;
    }

    const auto library = std::make_shared<AppletLibrary>();
    record->library = library;
    if (!library->load(record->appletPath)) {
        debugLibraryNotOpened(record->appletID, record->appletVersion, record->appletPath,
                              library->loadError());
        logApplets(kLogFailure, u"Unable to load Applet ID - %s for window ID - %s",
                   record->appletID.c_str(), instance.c_str());
        const std::u16string reason = platform::fromUtf8(library->loadError());
        logApplets(kLogFailure, u"Load error: %s", reason.c_str());
        return false;
    }
    // Until the load stands, an exception (only an exhausted allocator throws) takes it back.
    bool initialized = false;
    try {
        completeLoad(record, library, instance, initialized);
    } catch (...) {
        undoLoad(*record, library, initialized);
        throw;
    }
    return true;
}

bool unloadAppletInstance(AppletRecord* record, std::u16string_view instanceID) {
    if (record == nullptr || record->appletID.empty() || instanceID.empty()) {
        logApplets(kLogFailure, u"Applet/Window ID is empty!");
        return false;
    }
    const std::u16string instance(instanceID);
    logApplets(kLogProgress, u"Un-loading Applet - %s for instance ID - %s",
               record->appletID.c_str(), instance.c_str());
    if (!record->loaded || record->instanceCount() < 1) {
        logApplets(kLogFailure, u"Applet ID - %s is not loaded, cannot unload Applet",
                   record->appletID.c_str());
        return false;
    }
    if (!record->removeInstance(instance)) {
        logApplets(kLogFailure,
                   u"Applet ID - %s is not loaded for Window ID - %s, cannot unload Applet",
                   record->appletID.c_str(), instance.c_str());
        return false;
    }
    if (record->instanceCount() > 0) {
        return true;
    }
    return releaseLibrary(*record, u"");
}

bool unloadApplet(AppletRecord* record) {
    if (record == nullptr || record->appletID.empty()) {
        logApplets(kLogFailure, u"Applet/Window ID is empty!");
        return false;
    }
    logApplets(kLogProgress, u"Un-loading Applet - %s", record->appletID.c_str());
    if (!record->loaded || record->instanceCount() < 1) {
        logApplets(kLogFailure, u"Applet ID - %s is not loaded, cannot unload Applet",
                   record->appletID.c_str());
        return false;
    }
    return releaseLibrary(*record, nullptr);
}

void unloadAll(AppletList& list) {
    // Each load of an applet is finalized once, also when a finalize call fails to release it.
    std::vector<std::shared_ptr<AppletLibrary>> finalized;
    // By value: the record stays alive through its finalize, whatever that does to the list.
    const auto unload = [&finalized](const std::shared_ptr<AppletRecord> record) {
        finalized.push_back(record->library);
        unloadApplet(record.get());
    };
    // By position, not by iterator: an applet's finalize may register more applets meanwhile.
    for (std::size_t position = 0; position < list.size(); ++position) {
        unload(list.at(position));
    }
    // Applets that a later applet's finalize loaded again.
    for (int pass = 0; pass < kMaxExtraUnloadPasses; ++pass) {
        bool unloadedAny = false;
        for (std::size_t position = 0; position < list.size(); ++position) {
            const std::shared_ptr<AppletRecord> record = list.at(position);
            if (record->loaded && record->instanceCount() > 0 && !record->appletID.empty() &&
                std::find(finalized.begin(), finalized.end(), record->library) == finalized.end()) {
                unload(record);
                unloadedAny = true;
            }
        }
        if (!unloadedAny) {
            break;
        }
    }
    // What is still loaded now (a record without an identifier, an applet reloaded over and over)
    // had no finalize: its library stays in the process when its record goes.
    list.clear();
}

}  // namespace qor
