// The screen resolution an applet is told, measured on a real X server (Xvfb).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

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

class ScreenResolution : public AppletHarness {
  protected:
    // dpi_x, dpi_y and isHighDPI as the applet's initialize received them.
    std::vector<std::u16string> measuredByApplet() {
        initializeQor();
        EXPECT_EQ(loadApplet(u"screen", u"1", u"w1", QOR_FIXTURE_APPLET).text, u"true");
        std::vector<std::u16string> values;
        if (applets.initializeArguments.empty()) {
            return values;
        }
        xml::XMLParser arguments;
        arguments.initWithXMLString(applets.initializeArguments.back());
        for (const char16_t* name : {u"dpi_x", u"dpi_y", u"isHighDPI"}) {
            std::u16string value = u"missing";
            arguments.stringValueForXQuery(u"/CommandLineArguments/" + std::u16string(name), value);
            values.push_back(value);
        }
        return values;
    }
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

// An authorization file holding one MIT-MAGIC-COOKIE-1 entry: by default for any address and
// display, else for this host's local connections to one display, as xauth writes them.
void writeCookie(const std::filesystem::path& file, const std::string& display = "") {
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
    field(entry, "0123456789abcdef");
    std::ofstream(file, std::ios::binary) << entry;
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
    setenv("DISPLAY", ":9999", 1);  // nobody there
    EXPECT_THAT(measuredByApplet(), ::testing::ElementsAre(u"0", u"0", u"0"));
    unsetenv("DISPLAY");
}

}  // namespace
}  // namespace qor::test
