// One whole drag with the mouse: a separate drag-source program drags a file from its window onto
// the running program's dialog (pointer moved and released by xdotool), and the program makes it
// its target and counts it. Everything is checked from outside the program.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/text.h"
#include "common/test_support.h"
#include "res/resource.h"

using testsupport::BuildPath;
using testsupport::TempDir;

namespace {

// The text of a control of another process.
std::wstring RemoteText(HWND window) {
    wchar_t text[512] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 2000,
                        &copied);
    return text;
}

struct DialogQuery {
    DWORD process;
    HWND found;
};

BOOL CALLBACK MatchMainDialog(HWND window, LPARAM param) {
    auto *query = reinterpret_cast<DialogQuery *>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == query->process && IsWindowVisible(window) && GetDlgItem(window, IDC_STATUS)) {
        query->found = window;
        return FALSE;
    }
    return TRUE;
}

bool WaitUntil(const std::function<bool()> &done, DWORD timeoutMs) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(50))
        if (GetTickCount() - start > timeoutMs)
            return done();
    return true;
}

// A program started with a command line; ended by force if a test leaves it running.
class Process {
  public:
    explicit Process(const std::wstring &program, const std::wstring &arguments) {
        std::wstring commandLine = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        if (CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &info_))
            CloseHandle(info_.hThread);
    }
    ~Process() {
        if (!info_.hProcess)
            return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(info_.hProcess, 99);
        CloseHandle(info_.hProcess);
    }
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    bool Started() const { return info_.hProcess != nullptr; }
    DWORD Id() const { return info_.dwProcessId; }
    // The exit code, or STILL_ACTIVE when the program did not end in time.
    DWORD WaitForExit(DWORD timeoutMs) {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

  private:
    PROCESS_INFORMATION info_ = {};
};

std::wstring FilesOnly(unsigned files) {
    wchar_t text[256];
    FormatText(text, 256, LoadText(IDS_STATUS_RESULT), files, 0u);
    std::wstring shown = text;
    return shown.substr(0, shown.rfind(L','));
}

TEST(DragFromAnotherProgram, ADraggedFileBecomesTheTargetAndIsCounted) {
    TempDir temp;
    const std::wstring first = temp / L"first";
    const std::wstring second = temp / L"second";
    testsupport::WriteTextFile(first + L"\\a.txt");
    testsupport::WriteTextFile(first + L"\\b.txt");
    testsupport::WriteTextFile(second + L"\\picked.txt");
    testsupport::WriteTextFile(second + L"\\other.txt");

    Process program(BuildPath(L"Vandrel.exe"), L"\"" + first + L"\"");
    ASSERT_TRUE(program.Started());
    DialogQuery query = {program.Id(), nullptr};
    ASSERT_TRUE(WaitUntil(
        [&] {
            EnumWindows(MatchMainDialog, reinterpret_cast<LPARAM>(&query));
            return query.found != nullptr;
        },
        15000));
    HWND dialog = query.found;
    HWND status = GetDlgItem(dialog, IDC_STATUS);
    HWND filter = GetDlgItem(dialog, IDC_FILTER);
    ASSERT_TRUE(WaitUntil([&] { return RemoteText(status) == FilesOnly(2); }, 15000));
    ASSERT_EQ(L"*.*", RemoteText(filter));

    // Release the file over the target group of the dialog.
    RECT group = {};
    GetWindowRect(GetDlgItem(dialog, IDC_TARGET_GROUP), &group);
    const long x = group.left + (group.right - group.left) / 3;
    const long y = group.top + (group.bottom - group.top) / 2;
    Process source(BuildPath(L"tests\\dragsource.exe"), L"\"" + second + L"\\picked.txt\" " +
                                                            std::to_wstring(x) + L" " +
                                                            std::to_wstring(y));
    ASSERT_TRUE(source.Started());
    EXPECT_EQ(0u, source.WaitForExit(40000))
        << "0: dropped with the copy effect; 3: no button press; 4: no drop";

    EXPECT_TRUE(WaitUntil([&] { return RemoteText(filter) == L"picked.txt"; }, 10000))
        << testing::PrintToString(RemoteText(filter));
    EXPECT_EQ(L"second", RemoteText(GetDlgItem(dialog, IDC_TARGET_NAME)));
    EXPECT_TRUE(WaitUntil([&] { return RemoteText(status) == FilesOnly(1); }, 10000))
        << testing::PrintToString(RemoteText(status));

    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0u, program.WaitForExit(15000));
}

} // namespace
