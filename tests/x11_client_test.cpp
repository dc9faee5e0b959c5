// The X11 client's readers of what the environment gives it (DISPLAY, the authority file's
// entries and the server's address as the file names it, the Xft.dpi resource) and its socket
// calls.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>

#include "platform/file_descriptor.h"
#include "platform/socket_io.h"
#include "platform/x11_authority.h"
#include "platform/x11_display_name.h"
#include "platform/x11_resolution.h"

namespace qor::test {
namespace {

using platform::X11AuthorityAddress;

std::string described(const std::optional<platform::X11DisplayName>& name) {
    if (!name) {
        return "none";
    }
    return (name->tcp ? "tcp " + name->host + " port " + std::to_string(name->port) : "local") +
           " display " + name->number + " screen " + std::to_string(name->screen);
}

TEST(X11DisplayName, NamesAreParsedAsXlibParsesThem) {
    const struct {
        const char* display;
        const char* parsed;
    } cases[] = {
        {":0", "local display 0 screen 0"},
        {":12.3", "local display 12 screen 3"},
        {"unix:4", "local display 4 screen 0"},
        {"unix/:5", "local display 5 screen 0"},
        {":99999", "local display 99999 screen 0"},
        {"localhost:10.0", "tcp localhost port 6010 display 10 screen 0"},
        {"tcp/:1", "tcp  port 6001 display 1 screen 0"},
        {"inet6/::1:2", "tcp ::1 port 6002 display 2 screen 0"},
        {"127.0.0.1:59535", "tcp 127.0.0.1 port 65535 display 59535 screen 0"},
        {"127.0.0.1:59536", "none"},  // port 65536
        {"tcp/:65536", "none"},
        {"host::0", "none"},  // DECnet
        {"/private/tmp/launch-x/org.x:0", "none"},
        {"", "none"},
        {":", "none"},
        {"0", "none"},
        {":x", "none"},
        {":0.", "none"},
        {":0.x", "none"},
        {":123456", "none"},
        {":0.123456", "none"},
    };
    EXPECT_EQ(described(platform::parseX11DisplayName(nullptr)), "none");
    for (const auto& name : cases) {
        EXPECT_EQ(described(platform::parseX11DisplayName(name.display)), name.parsed)
            << name.display;
    }
}

// One authority file entry: family, address, display number, scheme and data.
std::string entry(uint16_t family, const std::string& address, const std::string& number,
                  const std::string& data, const std::string& scheme = "MIT-MAGIC-COOKIE-1") {
    std::string bytes{static_cast<char>(family >> 8), static_cast<char>(family & 0xFF)};
    for (const std::string& field : {address, number, scheme, data}) {
        bytes += static_cast<char>(field.size() >> 8);
        bytes += static_cast<char>(field.size() & 0xFF);
        bytes += field;
    }
    return bytes;
}

TEST(X11Authority, TheFirstEntryForTheServerAndDisplayGivesTheCookie) {
    const X11AuthorityAddress local{X11AuthorityAddress::kLocal, "here"};
    const X11AuthorityAddress remote{X11AuthorityAddress::kInternet, "\x0a\x01\x02\x03"};
    const std::string mine = entry(X11AuthorityAddress::kLocal, "here", "5", "mine");
    const struct {
        const char* what;
        std::string entries;
        X11AuthorityAddress server;
        const char* cookie;
    } cases[] = {
        {"this host and display", mine, local, "mine"},
        {"any display", entry(X11AuthorityAddress::kLocal, "here", "", "any"), local, "any"},
        {"any address", entry(X11AuthorityAddress::kWild, "", "5", "wild"), local, "wild"},
        {"another display", entry(X11AuthorityAddress::kLocal, "here", "6", "x"), local, ""},
        {"another host", entry(X11AuthorityAddress::kLocal, "there", "5", "x"), local, ""},
        {"another family", entry(X11AuthorityAddress::kInternet, "here", "5", "x"), local, ""},
        {"another scheme first",
         entry(X11AuthorityAddress::kLocal, "here", "5", "x", "XDM-AUTHORIZATION-1") + mine, local,
         "mine"},
        {"the first of two", mine + entry(X11AuthorityAddress::kWild, "", "", "later"), local,
         "mine"},
        {"the server's address",
         entry(X11AuthorityAddress::kInternet, "\x0a\x01\x02\x03", "5", "ip"), remote, "ip"},
        {"an entry cut short", mine.substr(0, mine.size() - 1), local, ""},
        {"an entry cut short before a good one",
         entry(X11AuthorityAddress::kLocal, "here", "5", "x").substr(0, 6) + mine, local, ""},
        {"a field longer than the file", std::string("\x01\x00\xff\xff", 4), local, ""},
        {"one byte", "\x01", local, ""},
        {"nothing", "", local, ""},
    };
    for (const auto& file : cases) {
        EXPECT_EQ(platform::x11CookieIn(file.entries, file.server, "5"), file.cookie) << file.what;
    }
}

TEST(X11Authority, ServersAreNamedByAddressUnlessTheyAreThisHost) {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    const struct {
        const char* address;
        uint16_t family;
        std::string named;
    } cases[] = {
        {"127.0.0.1", X11AuthorityAddress::kLocal, host},
        {"127.1.2.3", X11AuthorityAddress::kLocal, host},
        {"10.1.2.3", X11AuthorityAddress::kInternet, "\x0a\x01\x02\x03"},
        {"::1", X11AuthorityAddress::kLocal, host},
        {"::ffff:127.0.0.1", X11AuthorityAddress::kLocal, host},
        {"::ffff:10.1.2.3", X11AuthorityAddress::kInternet, "\x0a\x01\x02\x03"},
        {"2001:db8::1", X11AuthorityAddress::kInternet6,
         std::string("\x20\x01\x0d\xb8\0\0\0\0\0\0\0\0\0\0\0\x01", 16)},
        {"", X11AuthorityAddress::kLocal, host},  // a local socket
    };
    for (const auto& server : cases) {
        sockaddr_storage peer{};
        if (inet_pton(AF_INET, server.address, &reinterpret_cast<sockaddr_in&>(peer).sin_addr) ==
            1) {
            peer.ss_family = AF_INET;
        } else if (inet_pton(AF_INET6, server.address,
                             &reinterpret_cast<sockaddr_in6&>(peer).sin6_addr) == 1) {
            peer.ss_family = AF_INET6;
        }
        const X11AuthorityAddress named = platform::x11AuthorityAddress(peer);
        EXPECT_EQ(named.family, server.family) << server.address;
        EXPECT_EQ(named.address, server.named) << server.address;
    }
}

TEST(X11Resolution, XftDpiIsTheLastEntryWhenItIsABelievedNumber) {
    const struct {
        const char* resources;
        std::optional<int32_t> dpi;
    } cases[] = {
        {"Xft.dpi: 96", 96},
        {"Xcursor.size: 24\n Xft.dpi :\t143.6 \r\nXft.antialias: 1", 144},
        {"Xft.dpi: 192\nXft.dpi: 120\n", 120},
        {"Xft.dpi: 20", 20},
        {"Xft.dpi: 19.5", 20},
        {"Xft.dpi: 1200.4", 1200},
        {"Xft.dpi: 19.4", std::nullopt},
        {"Xft.dpi: 1200.5", std::nullopt},
        {"Xft.dpi: 0.4", std::nullopt},
        {"Xft.dpi: -96", std::nullopt},
        {"Xft.dpi: 1e999", std::nullopt},
        {"Xft.dpi: nan", std::nullopt},
        {"Xft.dpi: inf", std::nullopt},
        {"Xft.dpi: 96px", std::nullopt},
        {"Xft.dpi:", std::nullopt},
        {"Xft.dpi: 96\nXft.dpi: none", std::nullopt},
        {"Xft.dpix: 96", std::nullopt},
        {"Xft.dpi 96", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& database : cases) {
        EXPECT_EQ(platform::xftDpi(database.resources), database.dpi) << database.resources;
    }
}

// A connected pair of stream sockets: the client's end and the server's.
struct SocketPair {
    SocketPair() {
        int ends[2] = {-1, -1};
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        client = platform::FileDescriptor(ends[0]);
        server = platform::FileDescriptor(ends[1]);
    }
    platform::FileDescriptor client, server;
};

TEST(SocketCalls, NeverWaitPastTheirDeadline) {
    const auto soon = [] { return platform::Deadline::after(std::chrono::milliseconds(50)); };
    char received[4];
    {
        SocketPair unread;  // a server that reads nothing: the socket's buffers fill up
        EXPECT_FALSE(platform::sendAll(unread.client.get(), std::string(8 << 20, 'x'), soon()));
    }
    {
        SocketPair gone;
        gone.server.reset();
        EXPECT_FALSE(platform::sendAll(gone.client.get(), "request", soon()));
        EXPECT_FALSE(platform::receiveExact(gone.client.get(), received, 4, soon()));
    }
    {
        SocketPair slow;  // three bytes of four, and then nothing
        ASSERT_EQ(send(slow.server.get(), "abc", 3, 0), 3);
        EXPECT_FALSE(platform::receiveExact(slow.client.get(), received, 4, soon()));
        ASSERT_EQ(send(slow.server.get(), "defg", 4, 0), 4);
        EXPECT_TRUE(platform::receiveExact(slow.client.get(), received, 4, soon()));
        EXPECT_EQ(std::string(received, 4), "defg");
    }
    const platform::FileDescriptor socket(
        ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    sockaddr_un nobody{};
    nobody.sun_family = AF_UNIX;
    std::memcpy(nobody.sun_path + 1, "qor-test-nobody", 15);
    EXPECT_FALSE(platform::connectWithin(socket.get(), reinterpret_cast<const sockaddr*>(&nobody),
                                         offsetof(sockaddr_un, sun_path) + 16, soon()));
}

}  // namespace
}  // namespace qor::test
