// The three exports of libqor.so.

#include <exception>
#include <memory>
#include <string>

#include "applets/applet_list.h"
#include "applets/applet_loading.h"
#include "bindings/binding_tables.h"
#include "module/command_table.h"
#include "plugin/debug_output.h"
#include "plugin/log.h"
#include "plugin/message.h"
#include "plugin/module_state.h"
#include "plugin/result_text.h"
#include "qor/plugin.h"
#include "routing/message_router.h"

namespace qor {
namespace {

// A fresh copy of the result for the caller, released with releaseResult; none without a slot.
const char16_t* handOver(std::u16string_view result, ReleaseFunction* outRelease) {
    if (outRelease == nullptr) {
        return nullptr;
    }
    *outRelease = releaseResult;
    return copyResult(result);
}

// A command of the table: the handler works on a message of its own.
const char16_t* runCommand(const MessageRecord& record, ReleaseFunction* outRelease) {
    Message message(record);
    std::u16string result;
    dispatchCommand(message.command, message, result);
    return handOver(result, outRelease);
}

const char16_t* processWellFormed(const MessageRecord& record, ReleaseFunction* outRelease) {
    registerCommands();
    if (commandTable().find(record.command) != nullptr) {
        return runCommand(record, outRelease);
    }
    // Routed as it came: no copy of its texts is needed.
    MessageRouter& router = *ensureRouter();
    if (!isAppletTarget(record.targetType)) {
        // Core's reply is copied once, straight into the caller's result, then released.
        ReleaseFunction release = nullptr;
        const char16_t* reply = router.callCore(record, &release);
        const char16_t* result = handOver(reply != nullptr ? reply : u"", outRelease);
        if (reply != nullptr && release != nullptr) {
            release(reply);
        }
        return result;
    }
    // Pass-through needs the caller's slot; without one the applet's reply is copied and released
    // like any other.
    const char16_t* direct = nullptr;
    const Reply reply =
        router.sendToApplet(record, outRelease, outRelease != nullptr ? &direct : nullptr);
    return direct != nullptr ? direct : handOver(reply.text(), outRelease);
}

// How deeply processMessage calls may nest: a message to an applet whose answer sends another
// message, and so on. Legitimate exchanges nest a few calls deep; two applets that answer each
// other's message with the same message forever would otherwise overflow the stack.
constexpr int32_t kMaxMessageNesting = 64;

// One count for the module: QOR is called one entry point at a time. A thread_local would also
// cost every host that unloads QOR a dynamic TLS block that outlives the library.
int32_t messageNesting = 0;

// Counts one processMessage call for the length of a scope.
class NestingScope {
  public:
    NestingScope() { ++messageNesting; }
    NestingScope(const NestingScope&) = delete;
    NestingScope& operator=(const NestingScope&) = delete;
    ~NestingScope() { --messageNesting; }
};

// The answer to a call that cannot be served: the static text, and no release function.
const char16_t* refuseAsMalformed(const MessageRecord* record, ReleaseFunction* outRelease) {
    debugMalformedMessage(record);
    if (outRelease != nullptr) {
        *outRelease = nullptr;
    }
    return u"InvalidArguments";
}

}  // namespace
}  // namespace qor

extern "C" {

QOR_EXPORT int32_t QOR_CALL initialize(const char16_t* /*arguments*/, HostContext* context) {
    using namespace qor;
    if (context == nullptr) {
        return 1;
    }
    try {
        configureDebugOutput();
        ModuleState& state = moduleState();
        state.logSlot = context->logMessage;
        ensureRouter()->setHostWords(context->sendMessage, context->logMessage, context->reserved3,
                                     context->reserved4);
        ensureAppletList();
        logLine(kLogProgress, LogComponent::kQor, u"QOR Initialized");
        return 0;
    } catch (const std::exception&) {
        // Only an exhausted allocator gets here; the host learns of it through the result.
        return 1;
    }
}

QOR_EXPORT const char16_t* QOR_CALL processMessage(const MessageRecord* record,
                                                   ReleaseFunction* outRelease) {
    using namespace qor;
    if (!isWellFormed(record)) {
        return refuseAsMalformed(record, outRelease);
    }
    if (messageNesting >= kMaxMessageNesting) {
        logLine(kLogFailure, LogComponent::kQor,
                u"Message %s to %s nested deeper than %d calls, answered as a malformed call",
                record->command, record->targetID, kMaxMessageNesting);
        return refuseAsMalformed(record, outRelease);
    }
    const NestingScope nesting;
    try {
        return debugScoped([record] { return DebugScope::message(*record); },
                           [record, outRelease] { return processWellFormed(*record, outRelease); });
    } catch (const std::exception&) {
        // No exception may cross into the caller: like a failed copy, the result is null.
        if (outRelease != nullptr) {
            *outRelease = releaseResult;
        }
        return nullptr;
    }
}

QOR_EXPORT int32_t QOR_CALL finalize(const char16_t* /*ignored*/) {
    using namespace qor;
    logLine(kLogProgress, LogComponent::kQor, u"QOR finalize called");
    ModuleState& state = moduleState();
    state.router.reset();
    if (const std::shared_ptr<AppletList> applets = state.applets) {
        try {
            unloadAll(*applets);
        } catch (const std::exception&) {
            // Only an exhausted allocator gets here; the records still go, their libraries stay.
            applets->clear();
        }
        state.applets.reset();
    }
    destroyBindingTables();
    return 0;
}

}  // extern "C"
