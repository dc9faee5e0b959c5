// The screen resolution an applet is told, measured on a real X server (Xvfb).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "support/fixture_applets.h"
#include "xml/xml_parser.h"

namespace qor::test {
namespace {

// An Xvfb server on a display of its own, for the length of a test. Its screen size is one
// whose millimetres come out whole at 96 and 192 dpi, so that no rounding shows.
class VirtualDisplay {
  public:
    VirtualDisplay(int display, int dpi) : display_(display) {
        const std::string name = std::string(":").append(std::to_string(display));
        const std::string dots = std::to_string(dpi);
        pid_ = fork();
        if (pid_ == 0) {
            execlp("Xvfb", "Xvfb", name.c_str(), "-dpi", dots.c_str(), "-screen", "0",
                   "1920x960x24", "-nolisten", "tcp", static_cast<char*>(nullptr));
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

TEST_F(ScreenResolution, NoDisplayGivesZeros) {
    setenv("DISPLAY", ":9999", 1);  // nobody there
    EXPECT_THAT(measuredByApplet(), ::testing::ElementsAre(u"0", u"0", u"0"));
    unsetenv("DISPLAY");
}

}  // namespace
}  // namespace qor::test
