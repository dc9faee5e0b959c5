#include "xml/utility_log.h"

#include <string>

#include "platform/utf8.h"

namespace qor::xml {

UtilityLogHook utilityLogHook = nullptr;
UtilityLogger* utilityDefaultLogger = nullptr;
UtilityDiagnostics utilityDiagnostics = nullptr;

namespace {

void diagnose(int32_t level, const char16_t* component, const char16_t* format, ...) {
    va_list values;
    va_start(values, format);
    utilityDiagnostics(level, component, format, values);
    va_end(values);
}

}  // namespace

void diagnoseRefusedText(const ParseFailure& failure, std::u16string_view text) {
    if (utilityDiagnostics == nullptr) {
        return;
    }
    // Enough of the text to recognise it by.
    constexpr std::size_t kShown = 80;
    const std::u16string start(text.substr(0, kShown));
    const std::u16string reason = platform::fromUtf8(failure.message);
    diagnose(40, u"XMLParser", u"initWithXMLString refused a text at line %d: %s; the text: %s%s",
             failure.line, reason.c_str(), start.c_str(), text.size() > kShown ? u"..." : u"");
}

int32_t utilityLog(UtilityLogger* logger, int32_t level, const char16_t* component,
                   const char16_t* context, const char16_t* format, ...) {
    va_list values;
    va_start(values, format);
    if (utilityDiagnostics != nullptr) {
        va_list copy;
        va_copy(copy, values);
        utilityDiagnostics(level, component, format, copy);
        va_end(copy);
    }
    if (logger != nullptr) {
        logger->log(level, context, component, format, values);
    } else if (utilityLogHook != nullptr) {
        utilityLogHook(level, u"VunaUtils", component, u"", context, format, values);
    } else if (utilityDefaultLogger != nullptr) {
        utilityDefaultLogger->log(level, context, component, format, values);
    }
    va_end(values);
    return 0;
}

}  // namespace qor::xml
