// The screen resolution an applet is told, measured on Wine's desktop with its DPI setting
// (HKEY_CURRENT_USER\Control Panel\Desktop, LogPixels) at 192 and 96.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "support/test_platform.h"

namespace {

// Sets Wine's DPI for the processes started while it lives; puts the earlier setting back. The
// setting is one for the whole Wine prefix, and ctest runs tests in processes side by side: a
// named mutex lets one test at a time hold it.
class DpiSetting {
  public:
    explicit DpiSetting(DWORD dpi) : lock_(CreateMutexW(nullptr, FALSE, L"qor-tests-wine-dpi")) {
        if (lock_ != nullptr) {
            WaitForSingleObject(lock_, INFINITE);
        }
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr);
        DWORD value = 0;
        DWORD size = sizeof value;
        if (RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                             &size) == ERROR_SUCCESS) {
            previous_ = value;
        }
        set(dpi);
    }
    DpiSetting(const DpiSetting&) = delete;
    DpiSetting& operator=(const DpiSetting&) = delete;
    ~DpiSetting() {
        if (previous_) {
            set(*previous_);
        } else {
            RegDeleteValueW(key_, L"LogPixels");
        }
        RegCloseKey(key_);
        if (lock_ != nullptr) {
            ReleaseMutex(lock_);
            CloseHandle(lock_);
        }
    }

  private:
    void set(DWORD dpi) {
        RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                       sizeof dpi);
    }

    HANDLE lock_;
    HKEY key_ = nullptr;
    std::optional<DWORD> previous_;
};

std::string measure() {
    return qor::test::runCommand(QOR_SCREEN_PROBE, "").output;
}

TEST(ScreenResolution, HighDpiDesktopIsReported) {
    const DpiSetting dpi(192);
    EXPECT_EQ(measure(), "192 192 1\n");
}

TEST(ScreenResolution, NormalDpiDesktopIsNotHighDpi) {
    const DpiSetting dpi(96);
    EXPECT_EQ(measure(), "96 96 0\n");
}

}  // namespace
