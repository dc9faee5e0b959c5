#pragma once

#include <concepts>
#include <cstdint>

#include "plugin/debug_output.h"
#include "plugin/module_state.h"

namespace qor {

enum class LogComponent { kQor, kAppletManager };

enum LogLevel : int32_t {
    kLogLocalize = 10,
    kLogDuplicate = 20,
    kLogProgress = 30,
    kLogFailure = 40,
};

template <typename T>
concept LogValue = std::same_as<T, const char16_t*> || std::same_as<T, int32_t>;

inline const char16_t* componentName(LogComponent component) {
    return component == LogComponent::kQor ? u"QOR" : u"QORAppletManager";
}

// Writes one log line through the host's log function: level, module "QOR", the component, two
// empty texts, the format and its values (%s a UTF-16 text, %d a 32-bit integer). Nothing happens
// when the host gave no log function. The applet manager's lines also go to the load diagnostics.
template <LogValue... Values>
void logLine(int32_t level, LogComponent component, const char16_t* format, Values... values) {
    LogFunction log = moduleState().logSlot;
    if (log != nullptr) {
        log(level, u"QOR", componentName(component), u"", u"", format, values...);
    }
    if (component == LogComponent::kAppletManager && debugEnabled(DebugCategory::kLoad)) {
        debugAppletManagerLine(level, format, values...);
    }
}

}  // namespace qor
