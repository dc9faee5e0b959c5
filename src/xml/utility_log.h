#pragma once

#include <cstdarg>
#include <cstdint>
#include <string_view>

#include "xml/parse_failure.h"

namespace qor::xml {

// Receives the XML wrapper's failure reports. format is printf-style (%d signed decimal, %x
// hexadecimal), applied by the receiver to the values.
class UtilityLogger {
  public:
    virtual ~UtilityLogger() = default;
    virtual void log(int32_t level, const char16_t* context, const char16_t* component,
                     const char16_t* format, va_list values) = 0;
};

// (level, module name "VunaUtils", component, an empty text, context, format, values).
using UtilityLogHook = void (*)(int32_t level, const char16_t* module, const char16_t* component,
                                const char16_t* fourth, const char16_t* context,
                                const char16_t* format, va_list values);

// Process-wide sinks, both null at load. QOR itself never sets them.
extern UtilityLogHook utilityLogHook;
extern UtilityLogger* utilityDefaultLogger;

// A path of its own beside the sinks, for a person who asked for diagnostics: null unless QOR's
// diagnostics set it. It receives every report as it is made, whatever the sinks do with it, and
// the reason for every text the wrapper refuses to parse (which makes no report).
using UtilityDiagnostics = void (*)(int32_t level, const char16_t* component,
                                    const char16_t* format, va_list values);
extern UtilityDiagnostics utilityDiagnostics;

// Tells the diagnostics path, when it is set, why `text` was refused.
void diagnoseRefusedText(const ParseFailure& failure, std::u16string_view text);

// Delivers a report to the first sink present: the given logger, the hook, the default logger;
// with none, nothing happens. Always returns 0.
int32_t utilityLog(UtilityLogger* logger, int32_t level, const char16_t* component,
                   const char16_t* context, const char16_t* format, ...);

}  // namespace qor::xml
