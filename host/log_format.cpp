#include "log_format.h"

#include <memory>
#include <new>

#include "qor/host_support.h"

namespace qor::host {

std::u16string formatLogLine(const char16_t* format, va_list values) {
    const std::unique_ptr<char16_t, void (*)(void*)> text(qorFormatLogText16(format, values),
                                                          &qorFreeText);
    if (!text) {
        throw std::bad_alloc();
    }
    return text.get();
}

}  // namespace qor::host
