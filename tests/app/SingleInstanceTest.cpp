#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A copy of the program started from the build tree.
class Process {
public:
    explicit Process(const std::wstring& exe) {
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &si, &pi_)) {
            CloseHandle(pi_.hThread);
            pi_.hThread = nullptr;
        }
    }
    ~Process() {
        if (pi_.hProcess) {
            if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(pi_.hProcess, 1);
            CloseHandle(pi_.hProcess);
        }
    }
    bool Started() const { return pi_.hProcess != nullptr; }
    DWORD Id() const { return pi_.dwProcessId; }
    // Exit code, or STILL_ACTIVE if the process has not ended within timeoutMs.
    DWORD WaitExit(DWORD timeoutMs) {
        if (WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }
    // The process's main window, once it exists.
    HWND WaitForMainWindow(DWORD timeoutMs) {
        HWND found = nullptr;
        th::PumpUntil(
            [&] {
                HWND w = FindWindowW(L"tunehaven", nullptr);
                DWORD owner = 0;
                if (w) GetWindowThreadProcessId(w, &owner);
                found = owner == Id() ? w : nullptr;
                return found != nullptr && IsWindowVisible(found);
            },
            timeoutMs);
        return found;
    }

private:
    PROCESS_INFORMATION pi_ = {};
};

}  // namespace

TEST(SingleInstance, SecondStartExitsAndRestoresTheMinimisedFirstWindow) {
    th::StartWithEmptySettings();
    ASSERT_EQ(FindWindowW(L"tunehaven", nullptr), nullptr);
    const std::wstring exe = th::BuildTreeFile(L"tunehaven.exe");
    ASSERT_TRUE(th::FileExists(exe)) << "missing " << std::string(exe.begin(), exe.end());

    Process first(exe);
    ASSERT_TRUE(first.Started());
    HWND window = first.WaitForMainWindow(20000);
    ASSERT_NE(window, nullptr);
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    EXPECT_STREQ(title, L"tunehaven 0.2");

    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(th::PumpUntil([&] { return IsIconic(window); }));

    Process second(exe);
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.WaitExit(20000), 0u);
    EXPECT_TRUE(th::PumpUntil([&] { return IsWindowVisible(window) && !IsIconic(window); }));
    EXPECT_EQ(FindWindowW(L"tunehaven", nullptr), window);  // still the only one
    // Settings are written only when the program closes, and the second start writes none.
    EXPECT_FALSE(th::SettingExists(L"xpos"));

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(th::PumpUntil([&] { return !IsWindow(window); }, 20000));
    EXPECT_EQ(first.WaitExit(20000), 0u);
    EXPECT_TRUE(th::SettingExists(L"xpos"));
    th::StartWithEmptySettings();
}

// Two starts at once (a double click that came twice): one copy runs, the other ends, though
// neither had a window yet when the other looked.
TEST(SingleInstance, TwoStartsAtOnceLeaveOneCopy) {
    th::StartWithEmptySettings();
    ASSERT_EQ(FindWindowW(L"tunehaven", nullptr), nullptr);
    const std::wstring exe = th::BuildTreeFile(L"tunehaven.exe");
    Process a(exe), b(exe);
    ASSERT_TRUE(a.Started() && b.Started());
    DWORD codeA = a.WaitExit(0), codeB = b.WaitExit(0);
    ASSERT_TRUE(th::PumpUntil([&] {
        codeA = a.WaitExit(0);
        codeB = b.WaitExit(0);
        return codeA == 0 || codeB == 0;
    }, 30000)) << "both copies still run";
    Process& running = codeA == 0 ? b : a;
    HWND window = running.WaitForMainWindow(20000);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(running.WaitExit(0), DWORD(STILL_ACTIVE));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(running.WaitExit(20000), 0u);
    th::StartWithEmptySettings();
}
