// qor.dll's forwarding export _CreateProcessWithTokenW@36, called as a caller calls it: looked up
// by its decorated name in the loaded DLL.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "qor_module.h"
#include "shell/forward_create_process.h"

namespace {

using CreateProcessWithToken = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                             LPSTARTUPINFOW, LPPROCESS_INFORMATION);

class Handle {
  public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    HANDLE get() const { return handle_; }
    HANDLE* put() { return &handle_; }

  private:
    HANDLE handle_ = nullptr;
};

std::wstring exitCodeCommand(int code) {
    return L"\"" + std::filesystem::path(QOR_EXIT_CODE_PROGRAM).make_preferred().wstring() +
           L"\" " + std::to_wstring(code);
}

// qor.dll loaded as a caller loads it, its export found by the decorated name, and a token of
// this process.
class CreateProcessWithTokenExport : public ::testing::Test {
  protected:
    void SetUp() override {
        qor_ = LoadLibraryW(std::filesystem::path(QOR_LIBRARY_PATH).wstring().c_str());
        ASSERT_NE(qor_, nullptr);
        create = reinterpret_cast<CreateProcessWithToken>(
            reinterpret_cast<void (*)()>(GetProcAddress(qor_, "_CreateProcessWithTokenW@36")));
        ASSERT_NE(create, nullptr);
        ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(),
                                     TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY,
                                     token.put()));
        startup.cb = sizeof startup;
    }
    void TearDown() override {
        if (qor_ != nullptr) {
            FreeLibrary(qor_);
        }
    }

    CreateProcessWithToken create = nullptr;
    Handle token;
    STARTUPINFOW startup{};
    PROCESS_INFORMATION process{};

  private:
    HMODULE qor_ = nullptr;
};

TEST_F(CreateProcessWithTokenExport, StartsAProcessWithTheCallersToken) {
    std::wstring commandLine = exitCodeCommand(42);
    ASSERT_TRUE(create(token.get(), 0, nullptr, commandLine.data(), 0, nullptr, nullptr,
                       &startup, &process))
        << GetLastError();
    const Handle processHandle(process.hProcess);
    const Handle threadHandle(process.hThread);
    EXPECT_NE(process.dwProcessId, 0u);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    ASSERT_TRUE(GetExitCodeProcess(process.hProcess, &exitCode));
    EXPECT_EQ(exitCode, 42u);
}

TEST_F(CreateProcessWithTokenExport, ForwardsTheFunctionsFailure) {
    std::wstring commandLine = L"Z:\\no\\such\\program.exe";
    EXPECT_FALSE(create(token.get(), 0, nullptr, commandLine.data(), 0, nullptr, nullptr,
                        &startup, &process));
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));  // the platform function's own
}

// The seam behind the export: another library, another function name.
qor::shell::CreateProcessArguments noArguments() {
    return {nullptr, 0, nullptr, nullptr, 0, nullptr, nullptr, nullptr, nullptr};
}

TEST(CreateProcessWithToken, MissingLibraryGivesFalse) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(qor::shell::forwardCreateProcess(L"qor-no-such-library.dll",
                                                  "CreateProcessWithTokenW", noArguments()));
}

TEST(CreateProcessWithToken, MissingFunctionGivesFalseAndFreesTheLibrary) {
    const std::wstring path = std::filesystem::path(QOR_FIXTURE_APPLET).wstring();
    ASSERT_EQ(GetModuleHandleW(path.c_str()), nullptr);
    EXPECT_FALSE(
        qor::shell::forwardCreateProcess(path.c_str(), "CreateProcessWithTokenW", noArguments()));
    EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr);
}

}  // namespace
