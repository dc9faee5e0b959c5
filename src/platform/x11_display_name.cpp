#include "platform/x11_display_name.h"

#include <charconv>
#include <string_view>

namespace qor::platform {

namespace {

constexpr uint32_t kFirstTcpPort = 6000;
constexpr uint32_t kLastPort = 65535;

// A number of one to five decimal digits.
std::optional<uint32_t> smallNumber(std::string_view text) {
    uint32_t value = 0;
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos) {
        return std::nullopt;
    }
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

std::optional<X11DisplayName> parseX11DisplayName(const char* display) {
    if (display == nullptr) {
        return std::nullopt;
    }
    const std::string_view text(display);
    const std::size_t colon = text.rfind(':');
    if (colon == text.npos || (colon > 0 && text[colon - 1] == ':')) {
        return std::nullopt;
    }
    X11DisplayName name;
    std::string_view host = text.substr(0, colon);
    for (const std::string_view protocol : {"tcp/", "inet/", "inet6/"}) {
        if (host.starts_with(protocol)) {
            host.remove_prefix(protocol.size());
            name.tcp = true;
        }
    }
    if (host.starts_with("unix/")) {
        host.remove_prefix(5);
    }
    if (host.starts_with('/')) {
        return std::nullopt;
    }
    name.host = host == "unix" ? std::string() : std::string(host);
    name.tcp = name.tcp || !name.host.empty();
    const std::string_view rest = text.substr(colon + 1);
    const std::size_t dot = rest.find('.');
    const std::optional<uint32_t> number = smallNumber(rest.substr(0, dot));
    const std::optional<uint32_t> screen =
        dot == rest.npos ? std::optional<uint32_t>(0) : smallNumber(rest.substr(dot + 1));
    if (!number || !screen || (name.tcp && *number > kLastPort - kFirstTcpPort)) {
        return std::nullopt;
    }
    name.number = std::string(rest.substr(0, dot));
    name.port = static_cast<uint16_t>(name.tcp ? kFirstTcpPort + *number : 0);
    name.screen = *screen;
    return name;
}

}  // namespace qor::platform
