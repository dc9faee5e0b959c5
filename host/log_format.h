#pragma once

#include <cstdarg>
#include <string>

namespace qor::host {

// Applies a log line's printf-style format (qorFormatLogText16 of the SDK's host support
// library): %s takes a const char16_t* (null prints "(null)"), %d an int32_t, %x a uint32_t in
// lower-case hexadecimal, %% a percent sign. Anything else is copied as it stands.
std::u16string formatLogLine(const char16_t* format, va_list values);

}  // namespace qor::host
