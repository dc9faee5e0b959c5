// The screen resolution an applet is told, measured on a real X server (Xvfb).
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "support/allocation_failure.h"
#include "support/fake_x_server.h"
#include "support/fixture_applets.h"
#include "xml/xml_parser.h"

namespace qor::test {
namespace {

// An Xvfb server on a display of its own, for the length of a test. Its screen size is one
// whose millimetres come out whole at 96 and 192 dpi, so that no rounding shows.
// With an authorization file, the server admits only clients that present its cookie.
class VirtualDisplay {
  public:
    VirtualDisplay(int display, int dpi, const std::string& authorization = "")
        : display_(display) {
        const std::string name = std::string(":").append(std::to_string(display));
        const std::string dots = std::to_string(dpi);
        pid_ = fork();
        if (pid_ == 0) {
            std::vector<const char*> arguments = {
                "Xvfb", name.c_str(),  "-dpi",     dots.c_str(), "-screen",
                "0",    "1920x960x24", "-noreset", "-nolisten",  "tcp"};
            if (!authorization.empty()) {
                arguments.push_back("-auth");
                arguments.push_back(authorization.c_str());
            }
            arguments.push_back(nullptr);
            execvp("Xvfb", const_cast<char* const*>(arguments.data()));
            _exit(127);
        }
        const std::filesystem::path socket = "/tmp/.X11-unix/X" + std::to_string(display);
        for (int attempt = 0; attempt < 100 && !ready(); ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (ready()) {
            setenv("DISPLAY", name.c_str(), 1);
        }
    }
    ~VirtualDisplay() {
        unsetenv("DISPLAY");
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    std::string name() const { return std::string(":").append(std::to_string(display_)); }
    bool ready() const {
        return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0 &&
               std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(display_));
    }

  private:
    int display_;
    pid_t pid_ = -1;
};

constexpr const char* kCookie = "0123456789abcdef";

class ScreenResolution : public AppletHarness {
  protected:
    // dpi_x, dpi_y and isHighDPI as the applet's initialize received them; the applet is unloaded
    // again, so that the next call measures anew.
    std::vector<std::u16string> measuredByApplet() {
        if (!initialized_) {
            initializeQor();
            initialized_ = true;
        }
        applets.initializeArguments.clear();
        EXPECT_EQ(loadApplet(u"screen", u"1", u"w1", QOR_FIXTURE_APPLET).text, u"true");
        std::vector<std::u16string> values;
        if (applets.initializeArguments.empty()) {
            return values;
        }
        unloadApplet(u"screen", u"1", u"w1");
        xml::XMLParser arguments;
        arguments.initWithXMLString(applets.initializeArguments.back());
        for (const char16_t* name : {u"dpi_x", u"dpi_y", u"isHighDPI"}) {
            std::u16string value = u"missing";
            arguments.stringValueForXQuery(u"/CommandLineArguments/" + std::u16string(name), value);
            values.push_back(value);
        }
        return values;
    }

  private:
    bool initialized_ = false;
};

TEST_F(ScreenResolution, HighResolutionDisplay) {
    const VirtualDisplay display(90 + getpid() % 400, 192);
    if (!display.ready()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    EXPECT_THAT(measuredByApplet(), ::testing::ElementsAre(u"192", u"192", u"1"));
}

TEST_F(ScreenResolution, OrdinaryDisplay) {
    const VirtualDisplay display(500 + getpid() % 400, 96);
    if (!display.ready()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    EXPECT_THAT(measuredByApplet(), ::testing::ElementsAre(u"96", u"96", u"0"));
}

// One MIT-MAGIC-COOKIE-1 entry of an authorization file: by default for any address and display,
// else for this host's local connections to one display, as xauth writes them.
std::string cookieEntry(const std::string& display = "") {
    const auto field = [](std::string& out, const std::string& text) {
        out += static_cast<char>(text.size() >> 8);
        out += static_cast<char>(text.size() & 0xFF);
        out += text;
    };
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::string entry = display.empty() ? "\xFF\xFF" : std::string("\x01\x00", 2);
    field(entry, display.empty() ? "" : host);
    field(entry, display);
    field(entry, "MIT-MAGIC-COOKIE-1");
    field(entry, kCookie);
    return entry;
}

void writeCookie(const std::filesystem::path& file, const std::string& display = "") {
    std::ofstream(file, std::ios::binary) << cookieEntry(display);
}

// What a piece of work writes to the process's standard error, captured at the descriptor.
template <typename Work>
std::string standardErrorOf(Work work) {
    std::fflush(stderr);
    FILE* capture = std::tmpfile();
    const int saved = dup(STDERR_FILENO);
    dup2(fileno(capture), STDERR_FILENO);
    work();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::string written;
    std::rewind(capture);
    for (int c = std::fgetc(capture); c != EOF; c = std::fgetc(capture)) {
        written += static_cast<char>(c);
    }
    std::fclose(capture);
    return written;
}

// A server that refuses this client: nothing may reach standard error, and the load goes on as
// without a display.
TEST_F(ScreenResolution, RefusedAuthorizationIsSilent) {
    const std::filesystem::path cookie = directory / "server.cookie";
    writeCookie(cookie);
    const VirtualDisplay display(1000 + getpid() % 400, 192, cookie.string());
    if (!display.ready()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    const std::filesystem::path none = directory / "no.cookie";
    std::ofstream(none).flush();
    setenv("XAUTHORITY", none.c_str(), 1);
    std::vector<std::u16string> measured;
    const std::string written = standardErrorOf([&] { measured = measuredByApplet(); });
    unsetenv("XAUTHORITY");
    EXPECT_EQ(written, "");
    EXPECT_THAT(measured, ::testing::ElementsAre(u"0", u"0", u"0"));
}

// The client finds the server's cookie in its authority file and is admitted.
TEST_F(ScreenResolution, TheCookieInTheAuthorityFileIsPresented) {
    const std::filesystem::path cookie = directory / "server.cookie";
    writeCookie(cookie);
    const int number = 1400 + getpid() % 100;
    const VirtualDisplay display(number, 192, cookie.string());
    if (!display.ready()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    const std::filesystem::path mine = directory / "client.cookie";
    writeCookie(mine, std::to_string(number));
    setenv("XAUTHORITY", mine.c_str(), 1);
    EXPECT_THAT(measuredByApplet(), ::testing::ElementsAre(u"192", u"192", u"1"));
    unsetenv("XAUTHORITY");
}

// The resource desktop toolkits honour wins over the screen's physical size.
TEST_F(ScreenResolution, TheXftDpiResourceWins) {
    const VirtualDisplay display(1500 + getpid() % 400, 96);  // -noreset keeps the property
    if (!display.ready()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    const std::string command = "DISPLAY=" + display.name() +
                                " xprop -root -format RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "
                                "'Xcursor.size: 24\nXft.dpi:\t143.6\n' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        GTEST_SKIP() << "xprop is not available";
    }
    EXPECT_THAT(measuredByApplet(), ::testing::ElementsAre(u"144", u"144", u"0"));
}

TEST_F(ScreenResolution, NoDisplayGivesZeros) {
    for (const char* display : {":9999", "qor-no-such-host.invalid:0", "127.0.0.1:9999", "::0",
                                "/private/tmp/launch:0", ":0.x"}) {
        SCOPED_TRACE(display);
        setenv("DISPLAY", display, 1);
        EXPECT_THAT(measuredByApplet(), ::testing::ElementsAre(u"0", u"0", u"0"));
    }
    unsetenv("DISPLAY");
}

// A display number of this test program's own for fake servers on the local socket.
std::string fakeDisplay() {
    return std::to_string(20000 + getpid() % 10000);
}

// A server that answers with a resource database, or without one.
FakeXServerScript resources(const std::string& text) {
    return FakeXServerScript::answering(x11PropertyReply(text));
}
FakeXServerScript noResources() {
    return FakeXServerScript::answering(x11NoProperty());
}

// Whatever a server sends, the load goes on and the applet is told a believed resolution or 0:
// lengths are checked before anything is allocated for them (a 128 KiB allocation fails here,
// so none larger is made), events and errors are told apart from the reply, a resolution outside
// 20 to 1,200 dpi is no resolution, and setup and reply share one deadline of two seconds.
TEST_F(ScreenResolution, WhatTheServerSendsIsCheckedBeforeItIsBelieved) {
    using namespace std::chrono_literals;
    using Script = FakeXServerScript;
    const std::vector<std::u16string> ordinary = {u"96", u"96", u"0"};
    const std::vector<std::u16string> none = {u"0", u"0", u"0"};
    const std::string dpi192 = x11PropertyReply("Xft.dpi: 192");
    // Pixels, then millimetres, across and down.
    const FakeScreen tiny{0x100, 65535, 65535, 1, 1}, flat{0x100, 1920, 960, 508, 0};
    const struct {
        const char* what;
        FakeXServerScript script;
        std::vector<std::u16string> measured;
        std::string screen = "";
    } cases[] = {
        {"no Xft.dpi: the screen's size", noResources(), ordinary},
        {"Xft.dpi after events",
         Script::answering(x11Event(34) + x11Event(0x80 | 12) +
                           x11PropertyReply("Xcursor.size: 24\nXft.dpi:\t192\n")),
         {u"192", u"192", u"1"}},
        {"an error for the request", Script::answering(x11Error(3, 1)), ordinary},
        {"a reply of 0x10000000 units",
         Script::answering(patched(x11NoProperty(), kReplyUnits, 0x10000000)), ordinary},
        {"a reply of 0xFFFFFFFF units",
         Script::answering(patched(x11NoProperty(), kReplyUnits, 0xFFFFFFFF)), ordinary},
        {"a value longer than its reply",
         Script::answering(patched(dpi192, kPropertyValueLength, 13)), ordinary},
        {"a value cut short",
         Script::answering(patched(x11PropertyReply("Xft.dpi: 1"), kPropertyBytesAfter, 4)),
         ordinary},
        {"a reply to another request", Script::answering(patched(dpi192, kReplySequence, 2)),
         ordinary},
        {"a value of another format", Script::answering(patched(dpi192, kReplyFormat, 16)),
         ordinary},
        {"an event with a length of its own", Script::answering(x11Event(35) + dpi192), ordinary},
        {"Xft.dpi 0.4", resources("Xft.dpi: 0.4"), ordinary},
        {"Xft.dpi 5000", resources("Xft.dpi: 5000"), ordinary},
        {"Xft.dpi last set to nonsense", resources("Xft.dpi: 192\nXft.dpi: 9x"), ordinary},
        {"a screen 1 mm wide", noResources().withSetupReply(x11SetupAccepted({tiny})), none},
        {"a screen without a height", noResources().withSetupReply(x11SetupAccepted({flat})), none},
        {"no memory for the setup",
         noResources().withSetupReply(patched(x11SetupAccepted(), kSetupUnits, 0xFFFF)), none},
        {"a setup without screens", noResources().withSetupReply(x11SetupAccepted({})), none},
        {"a screen the server does not have", Script::answering(dpi192), none, ".1"},
        {"setup and reply each in time, but not together",
         Script::answering(dpi192).withDelays(1200ms, 1200ms), ordinary},
    };
    // No authority file: nothing but the server's bytes to read.
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    setenv("HOME", "", 1);
    const LargeAllocationsFail exhausted(128 * 1024);
    for (const auto& server : cases) {
        SCOPED_TRACE(server.what);
        const FakeXServer fake(std::stoi(fakeDisplay()), server.script);
        ASSERT_TRUE(fake.listening());
        setenv("DISPLAY", (":" + fakeDisplay() + server.screen).c_str(), 1);
        EXPECT_THAT(measuredByApplet(), ::testing::ElementsAreArray(server.measured));
    }
    setenv("HOME", home.c_str(), 1);
}

// A display number whose TCP port would pass 65535 names no display; it does not wrap around to
// another server's port.
TEST_F(ScreenResolution, TcpPortsDoNotWrapAround) {
    // Ports whose display numbers, wrapped, still have five digits.
    const FakeXServer fake(static_cast<uint16_t>(30000 + getpid() % 8000), 40000, noResources());
    ASSERT_TRUE(fake.listening());
    const int number = fake.port() - 6000;
    // By name: the look-up may also give ::1, where nothing listens, before 127.0.0.1.
    setenv("DISPLAY", ("localhost:" + std::to_string(number)).c_str(), 1);
    EXPECT_THAT(measuredByApplet(), ::testing::ElementsAre(u"96", u"96", u"0"));
    setenv("DISPLAY", ("127.0.0.1:" + std::to_string(number + 65536)).c_str(), 1);
    EXPECT_THAT(measuredByApplet(), ::testing::ElementsAre(u"0", u"0", u"0"));
    EXPECT_EQ(fake.connections(), 1);
}

// The authority file is read only when it is a regular file of at most 1 MiB. A FIFO is never
// waited on (here a writer stands ready to hand the cookie to whoever opens it, as a hostile
// environment could), nor is a larger file read, although both would give the cookie.
TEST_F(ScreenResolution, OnlyARegularAuthorityFileOfBoundedSizeIsRead) {
    const FakeXServer fake(std::stoi(fakeDisplay()), noResources().requiringCookie(kCookie));
    ASSERT_TRUE(fake.listening());
    setenv("DISPLAY", (":" + fakeDisplay()).c_str(), 1);
    const std::filesystem::path regular = directory / "regular", fifo = directory / "fifo",
                                large = directory / "large";
    writeCookie(regular);
    writeCookie(large);
    std::filesystem::resize_file(large, 2 << 20);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> done = false;
    std::thread writer([&] {
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        const std::string entry = cookieEntry();
        while (!done) {
            const int end = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (end >= 0) {
                static_cast<void>(write(end, entry.data(), entry.size()));
                close(end);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const struct {
        std::filesystem::path file;
        const char16_t* dpi;
    } cases[] = {
        {regular, u"96"},           {fifo, u"0"}, {large, u"0"}, {directory, u"0"},
        {directory / "none", u"0"},
    };
    for (const auto& authority : cases) {
        SCOPED_TRACE(authority.file.filename().string());
        setenv("XAUTHORITY", authority.file.c_str(), 1);
        EXPECT_EQ(measuredByApplet().at(0), authority.dpi);
    }
    unsetenv("XAUTHORITY");
    done = true;
    writer.join();
}

// Makes this process (forked, with one thread) root of user, mount and network namespaces of its
// own, with `settings` in place of /etc/resolv.conf, the loopback interface up, and a name server
// on 127.0.0.1 that takes every question and answers none. False where the system forbids it.
bool isolatedWithSilentNameServer(const std::filesystem::path& settings) {
    const std::string user = std::to_string(getuid()), group = std::to_string(getgid());
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET) != 0) {
        return false;
    }
    std::ofstream("/proc/self/setgroups") << "deny";
    std::ofstream("/proc/self/uid_map") << "0 " << user << " 1";
    std::ofstream("/proc/self/gid_map") << "0 " << group << " 1";
    if (getuid() != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(settings.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) {
        return false;
    }
    ifreq loopback{};
    std::strcpy(loopback.ifr_name, "lo");
    const int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (ioctl(control, SIOCGIFFLAGS, &loopback) != 0) {
        return false;
    }
    loopback.ifr_flags = static_cast<short>(loopback.ifr_flags | IFF_UP);
    sockaddr_in nameServer{};
    nameServer.sin_family = AF_INET;
    nameServer.sin_port = htons(53);
    nameServer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int silent = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return ioctl(control, SIOCSIFFLAGS, &loopback) == 0 &&
           bind(silent, reinterpret_cast<const sockaddr*>(&nameServer), sizeof nameServer) == 0;
}

// Resolver settings that send every question to a name server that never answers.
std::filesystem::path silentResolverSettings(const std::filesystem::path& directory) {
    const std::filesystem::path settings = directory / "resolv.conf";
    std::ofstream(settings) << "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n";
    return settings;
}

// True where a process may make the namespaces that isolatedWithSilentNameServer needs; tried
// in a child that ends at once.
bool namespacesAvailable(const std::filesystem::path& directory) {
    const std::filesystem::path settings = silentResolverSettings(directory);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        _exit(isolatedWithSilentNameServer(settings) ? 0 : 1);
    }
    int status = 1;
    waitpid(child, &status, 0);
    return child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A host name the resolver cannot answer for (its name server takes the questions and never
// replies; this resolver would wait 30 s) is given up on at the deadline, like a server that does
// not answer, and the applet is loaded with 0 dpi. Measured in a process of its own, whose
// resolver settings can be replaced.
TEST_F(ScreenResolution, NameLookUpSharesTheDeadline) {
    if (!namespacesAvailable(directory)) {
        GTEST_SKIP() << "user, mount and network namespaces are not available";
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, with one thread
    const auto measureBehindSilentNameServer = [this] {
        if (!isolatedWithSilentNameServer(silentResolverSettings(directory))) {
            std::exit(2);
        }
        initializeQor();
        setenv("DISPLAY", "qor-unanswered-host:0", 1);
        const auto start = std::chrono::steady_clock::now();
        const Reply loaded = loadApplet(u"screen", u"1", u"w1", QOR_FIXTURE_APPLET);
        const bool inTime = std::chrono::steady_clock::now() - start < std::chrono::seconds(10);
        const bool zero =
            applets.initializeArguments.size() == 1 &&
            applets.initializeArguments[0].find(u"<dpi_x>0</dpi_x>") != std::u16string::npos;
        std::exit(!inTime ? 3 : loaded.text != u"true" || !zero ? 4 : 0);
    };
    // 3: the load waited for the name server past its deadline; 4: it did not load with 0 dpi.
    EXPECT_EXIT(measureBehindSilentNameServer(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace qor::test
