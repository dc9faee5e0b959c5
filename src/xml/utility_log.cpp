#include "xml/utility_log.h"

namespace qor::xml {

UtilityLogHook utilityLogHook = nullptr;
UtilityLogger* utilityDefaultLogger = nullptr;

int32_t utilityLog(UtilityLogger* logger, int32_t level, const char16_t* component,
                   const char16_t* context, const char16_t* format, ...) {
    va_list values;
    va_start(values, format);
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
