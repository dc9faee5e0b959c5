#include "log_format.h"

#include <cstdint>
#include <string>

namespace qor::host {

namespace {

void appendAscii(std::u16string& out, const std::string& ascii) {
    out.append(ascii.begin(), ascii.end());
}

std::string toHex(uint32_t value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string digits;
    do {
        digits.insert(digits.begin(), kDigits[value % 16]);
        value /= 16;
    } while (value != 0);
    return digits;
}

}  // namespace

std::u16string formatLogLine(const char16_t* format, va_list values) {
    std::u16string out;
    if (format == nullptr) {
        return out;
    }
    va_list args;
    va_copy(args, values);
    for (const char16_t* at = format; *at != u'\0'; ++at) {
        if (*at != u'%' || at[1] == u'\0') {
            out.push_back(*at);
            continue;
        }
        switch (at[1]) {
            case u's': {
                const auto* text = va_arg(args, const char16_t*);
                out += text != nullptr ? std::u16string(text) : std::u16string(u"(null)");
                break;
            }
            case u'd':
                appendAscii(out, std::to_string(va_arg(args, int32_t)));
                break;
            case u'x':
                appendAscii(out, toHex(va_arg(args, uint32_t)));
                break;
            case u'%':
                out.push_back(u'%');
                break;
            default:
                out.push_back(at[0]);
                out.push_back(at[1]);
                break;
        }
        ++at;
    }
    va_end(args);
    return out;
}

}  // namespace qor::host
