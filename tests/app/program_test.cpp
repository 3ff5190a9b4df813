// The built program started as a process: its main window appears in the user's language, closes
// on Cancel or the close box, and the process ends with exit code 0.
#include <gtest/gtest.h>

#include <string>

#include "common/test_support.h"

namespace {

class RunningProgram {
  public:
    RunningProgram() {
        // Only the program's own name on the command line: no target is given.
        std::wstring commandLine = L"\"" + testsupport::BuildPath(L"Vandrel.exe") + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process_) != FALSE;
    }
    ~RunningProgram() {
        if (!started_)
            return;
        // A program that did not close when told to must not outlive the test.
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    RunningProgram(const RunningProgram &) = delete;
    RunningProgram &operator=(const RunningProgram &) = delete;

    bool Started() const { return started_; }

    // The program's visible top-level window with this caption, waited for.
    HWND WaitForWindow(const std::wstring &caption, DWORD timeoutMs) const {
        Query query = {process_.dwProcessId, caption, nullptr};
        const DWORD start = GetTickCount();
        while (!query.found && GetTickCount() - start < timeoutMs) {
            EnumWindows(Match, reinterpret_cast<LPARAM>(&query));
            if (!query.found)
                Sleep(50);
        }
        return query.found;
    }

    // True when the process ended within the time; exitCode receives its exit code.
    bool WaitForExit(DWORD timeoutMs, DWORD *exitCode) const {
        if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0)
            return false;
        return GetExitCodeProcess(process_.hProcess, exitCode) != FALSE;
    }

  private:
    struct Query {
        DWORD processId;
        std::wstring caption;
        HWND found;
    };

    static BOOL CALLBACK Match(HWND window, LPARAM param) {
        auto *query = reinterpret_cast<Query *>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != query->processId || !IsWindowVisible(window) ||
            testsupport::WindowText(window) != query->caption)
            return TRUE;
        query->found = window;
        return FALSE;
    }

    PROCESS_INFORMATION process_ = {};
    bool started_ = false;
};

constexpr DWORD WindowTimeout = 20000;
constexpr DWORD ExitTimeout = 10000;

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// Starts the program, finds its dialog by caption, checks the Cancel button's text, closes it
// with the given message and expects exit code 0.
void RunAndClose(const wchar_t *caption, const wchar_t *cancelText, UINT message, WPARAM wParam) {
    RunningProgram program;
    ASSERT_TRUE(program.Started()) << GetLastError();
    const HWND window = program.WaitForWindow(caption, WindowTimeout);
    ASSERT_NE(nullptr, window) << "no window with its caption";
    EXPECT_EQ(L"#32770", ClassOf(window));
    EXPECT_EQ(cancelText, testsupport::WindowText(GetDlgItem(window, IDCANCEL)));
    ASSERT_TRUE(PostMessageW(window, message, wParam, 0));
    DWORD exitCode = STILL_ACTIVE;
    ASSERT_TRUE(program.WaitForExit(ExitTimeout, &exitCode)) << "the program did not end";
    EXPECT_EQ(0u, exitCode);
}

TEST(Program, PolishWindowClosesOnCancel) {
    RunAndClose(L"Ustaw datę i czas...", L"Anuluj", WM_COMMAND, IDCANCEL);
}

TEST(Program, PolishWindowClosesOnItsCloseBox) {
    RunAndClose(L"Ustaw datę i czas...", L"Anuluj", WM_CLOSE, 0);
}

TEST(ProgramChinese, ChineseWindowClosesOnCancel) {
    RunAndClose(L"设置日期和时间...", L"取消", WM_COMMAND, IDCANCEL);
}

} // namespace
