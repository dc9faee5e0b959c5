#include "platform/x11_authority.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <utility>

namespace qor::platform {

namespace {

constexpr uint16_t kFamilyInternet = 0;
constexpr uint16_t kFamilyInternet6 = 6;
constexpr uint16_t kFamilyLocal = 256;
constexpr uint16_t kFamilyWild = 65535;
constexpr std::size_t kMaxAuthorityFile = 1 << 20;

// How the authority file names this connection's server: the host name for a local or loopback
// connection, else the server's address.
std::pair<uint16_t, std::string> authorityAddress(const sockaddr_storage* peer) {
    if (peer != nullptr && peer->ss_family == AF_INET) {
        const auto& address = reinterpret_cast<const sockaddr_in*>(peer)->sin_addr;
        if ((ntohl(address.s_addr) >> 24) != 127) {
            return {kFamilyInternet, std::string(reinterpret_cast<const char*>(&address), 4)};
        }
    } else if (peer != nullptr && peer->ss_family == AF_INET6) {
        const auto& address = reinterpret_cast<const sockaddr_in6*>(peer)->sin6_addr;
        const auto* bytes = reinterpret_cast<const char*>(&address);
        if (IN6_IS_ADDR_V4MAPPED(&address) && static_cast<uint8_t>(bytes[12]) != 127) {
            return {kFamilyInternet, std::string(bytes + 12, 4)};
        }
        if (!IN6_IS_ADDR_LOOPBACK(&address) && !IN6_IS_ADDR_V4MAPPED(&address)) {
            return {kFamilyInternet6, std::string(bytes, 16)};
        }
    }
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return {kFamilyLocal, host};
}

uint16_t bigEndian16(const std::string& bytes, std::size_t at) {
    return static_cast<uint16_t>((static_cast<uint8_t>(bytes[at]) << 8) |
                                 static_cast<uint8_t>(bytes[at + 1]));
}

// The cookie of the first entry of the authority file that fits the server, or an empty one.
std::string findCookie(uint16_t family, const std::string& address, const std::string& number) {
    std::string file;
    if (const char* named = std::getenv("XAUTHORITY"); named != nullptr && *named != 0) {
        file = named;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0) {
        file = std::string(home) + "/.Xauthority";
    } else {
        return {};
    }
    std::ifstream input(file, std::ios::binary);
    std::string entries;
    entries.resize(kMaxAuthorityFile);
    input.read(entries.data(), static_cast<std::streamsize>(entries.size()));
    entries.resize(static_cast<std::size_t>(input.gcount()));
    std::size_t at = 0;
    const auto field = [&](std::string& into) {
        if (at + 2 > entries.size() || at + 2 + bigEndian16(entries, at) > entries.size()) {
            return false;
        }
        into = entries.substr(at + 2, bigEndian16(entries, at));
        at += 2 + into.size();
        return true;
    };
    while (at + 2 <= entries.size()) {
        const uint16_t entryFamily = bigEndian16(entries, at);
        at += 2;
        std::string entryAddress, entryNumber, name, data;
        if (!field(entryAddress) || !field(entryNumber) || !field(name) || !field(data)) {
            return {};
        }
        const bool addressFits =
            entryFamily == kFamilyWild || (entryFamily == family && entryAddress == address);
        if (addressFits && (entryNumber.empty() || entryNumber == number) &&
            name == kX11CookieName) {
            return data;
        }
    }
    return {};
}

}  // namespace

std::string x11Cookie(const sockaddr_storage* peer, const std::string& number) {
    const auto [family, address] = authorityAddress(peer);
    return findCookie(family, address, number);
}

}  // namespace qor::platform
