#include "platform/x11_authority.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "platform/file_descriptor.h"

namespace qor::platform {

namespace {

uint16_t bigEndian16(std::string_view bytes, std::size_t at) {
    return static_cast<uint16_t>((static_cast<uint8_t>(bytes[at]) << 8) |
                                 static_cast<uint8_t>(bytes[at + 1]));
}

// The authority file's contents, when it is a regular file of bounded size.
std::optional<std::string> readAuthorityFile(const char* path) {
    const FileDescriptor file(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat status {};
    if (!file.isOpen() || fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::size_t>(status.st_size) > kMaxX11AuthorityFile) {
        return std::nullopt;
    }
    std::string contents(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t filled = 0;
    ssize_t got = 0;
    // Until it is full, or ends sooner (the file was shortened meanwhile).
    while (filled < contents.size() &&
           (got = read(file.get(), contents.data() + filled, contents.size() - filled)) > 0) {
        filled += static_cast<std::size_t>(got);
    }
    if (got < 0) {
        return std::nullopt;
    }
    contents.resize(filled);
    return contents;
}

}  // namespace

X11AuthorityAddress x11AuthorityAddress(const sockaddr_storage& peer) {
    if (peer.ss_family == AF_INET) {
        const auto& address = reinterpret_cast<const sockaddr_in&>(peer).sin_addr;
        if ((ntohl(address.s_addr) >> 24) != 127) {
            return {X11AuthorityAddress::kInternet,
                    std::string(reinterpret_cast<const char*>(&address), 4)};
        }
    } else if (peer.ss_family == AF_INET6) {
        const auto& address = reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr;
        const auto* bytes = reinterpret_cast<const char*>(&address);
        if (IN6_IS_ADDR_V4MAPPED(&address) && static_cast<uint8_t>(bytes[12]) != 127) {
            return {X11AuthorityAddress::kInternet, std::string(bytes + 12, 4)};
        }
        if (!IN6_IS_ADDR_LOOPBACK(&address) && !IN6_IS_ADDR_V4MAPPED(&address)) {
            return {X11AuthorityAddress::kInternet6, std::string(bytes, 16)};
        }
    }
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return {X11AuthorityAddress::kLocal, host};
}

std::string x11CookieIn(std::string_view entries, const X11AuthorityAddress& server,
                        std::string_view number) {
    // Each entry: a big-endian 16-bit family, then address, display number, scheme name and
    // data, each a big-endian 16-bit length and as many bytes.
    std::size_t at = 0;
    const auto field = [&](std::string_view& into) {
        if (entries.size() - at < 2 || entries.size() - at - 2 < bigEndian16(entries, at)) {
            return false;
        }
        into = entries.substr(at + 2, bigEndian16(entries, at));
        at += 2 + into.size();
        return true;
    };
    while (entries.size() - at >= 2) {
        const uint16_t family = bigEndian16(entries, at);
        at += 2;
        std::string_view address, display, scheme, data;
        if (!field(address) || !field(display) || !field(scheme) || !field(data)) {
            return {};
        }
        const bool serverFits = family == X11AuthorityAddress::kWild ||
                                (family == server.family && address == server.address);
        if (serverFits && (display.empty() || display == number) && scheme == kX11CookieName) {
            return std::string(data);
        }
    }
    return {};
}

std::string x11Cookie(const sockaddr_storage& peer, std::string_view number,
                      const Deadline& deadline) {
    std::string path;
    if (const char* named = std::getenv("XAUTHORITY"); named != nullptr && *named != 0) {
        path = named;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0) {
        path = std::string(home) + "/.Xauthority";
    } else {
        return {};
    }
    if (deadline.passed()) {
        return {};
    }
    const std::optional<std::string> entries = readAuthorityFile(path.c_str());
    return entries ? x11CookieIn(*entries, x11AuthorityAddress(peer), number) : std::string();
}

}  // namespace qor::platform
