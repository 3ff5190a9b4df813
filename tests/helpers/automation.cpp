// Drives a running Vandrel.exe from outside, as a user would: it finds the main dialog, reads
// the status line, types a filter, ticks a box, steps two pickers with the keyboard and
// presses buttons. It never sends pointers across: a WM_NOTIFY from here would carry no data.
//
//   automation apply <process id> <log file> <filter> <count> <filtered count> <deep count>
//     waits for the first count, sets the filter, ticks "include sub-folders", steps the
//     modified picker once and the last-access picker twice, presses Apply and waits until
//     the job has ended;
//   automation undo <process id> <log file>
//     chooses "undo last apply" in the window's system menu, answers yes and waits until the
//     undo has ended;
//   automation ok <process id> <log file>
//     presses OK.
// Exit code 0 when every step worked, 1 otherwise (the log says which step failed).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int StatusLine = 1003;
constexpr int Filter = 1008;
constexpr int CountButton = 1009;
constexpr int CreatedPicker = 1012;
constexpr int ModifiedPicker = 1013;
constexpr int AccessedPicker = 1014;
constexpr int Subfolders = 1016;
constexpr int ApplyButton = 1020;
constexpr WPARAM UndoCommand = 0x0010;

FILE *logFile = nullptr;

void Log(const wchar_t *format, const std::wstring &detail = L"") {
    if (!logFile)
        return;
    fwprintf(logFile, format, detail.c_str());
    fwprintf(logFile, L"\n");
    fflush(logFile);
}

struct DialogQuery {
    DWORD processId;
    HWND found;
    HWND except = nullptr; // null: the main dialog; else any other dialog of the process
};

BOOL CALLBACK MatchMainDialog(HWND window, LPARAM param) {
    auto *query = reinterpret_cast<DialogQuery *>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    const bool wanted =
        query->except ? window != query->except : GetDlgItem(window, StatusLine) != nullptr;
    if (owner == query->processId && IsWindowVisible(window) &&
        lstrcmpW(className, L"#32770") == 0 && wanted) {
        query->found = window;
        return FALSE;
    }
    return TRUE;
}

template <typename Condition> bool WaitFor(Condition done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return done();
        Sleep(50);
    }
    return true;
}

HWND FindDialog(DWORD processId, HWND except) {
    DialogQuery query = {processId, nullptr, except};
    WaitFor(
        [&] {
            EnumWindows(MatchMainDialog, reinterpret_cast<LPARAM>(&query));
            return query.found != nullptr;
        },
        20000);
    return query.found;
}

HWND FindMainDialog(DWORD processId) {
    return FindDialog(processId, nullptr);
}

std::wstring Text(HWND dialog, int id) {
    wchar_t text[512] = {};
    SendMessageW(GetDlgItem(dialog, id), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

// The first number in the status line: the file count, whatever the language.
long FirstNumber(const std::wstring &text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] >= L'0' && text[i] <= L'9')
            return wcstol(text.c_str() + i, nullptr, 10);
    return -1;
}

bool WaitForCount(HWND dialog, long expected) {
    const bool shown =
        WaitFor([&] { return FirstNumber(Text(dialog, StatusLine)) == expected; }, 20000);
    Log(shown ? L"status: %ls" : L"status stayed at: %ls", Text(dialog, StatusLine));
    return shown;
}

bool Click(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!IsWindowEnabled(button) || !IsWindowVisible(button)) {
        Log(L"button %ls is not enabled", std::to_wstring(id));
        return false;
    }
    SendMessageW(button, BM_CLICK, 0, 0);
    return true;
}

void PostKey(HWND window, UINT key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

// Tabs to the picker (the dialog manager moves the focus), selects a field and steps it up:
// the picker notifies the dialog itself.
void StepPicker(HWND dialog, int id, int steps) {
    HWND picker = GetDlgItem(dialog, id);
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(picker), TRUE);
    PostKey(picker, VK_RIGHT);
    for (int i = 0; i < steps; ++i)
        PostKey(picker, VK_UP);
    // Posted messages are handled in order: a sent one returns after all of them.
    SendMessageW(picker, WM_NULL, 0, 0);
}

int Apply(HWND dialog, const wchar_t *filter, long count, long filtered, long deep) {
    if (!WaitForCount(dialog, count))
        return 1;
    SendMessageW(GetDlgItem(dialog, Filter), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(filter));
    Log(L"filter set to %ls; the count follows 5 s later", filter);
    if (!WaitForCount(dialog, filtered))
        return 1;
    if (!Click(dialog, Subfolders) || !WaitForCount(dialog, deep))
        return 1;
    if (HWND box = FindWindowExW(GetDlgItem(dialog, CreatedPicker), nullptr, L"Button", nullptr))
        SendMessageW(box, BM_CLICK, 0, 0);
    StepPicker(dialog, ModifiedPicker, 1);
    StepPicker(dialog, AccessedPicker, 2);
    const std::wstring idleCaption = Text(dialog, CountButton);
    if (!Click(dialog, ApplyButton))
        return 1;
    // The pass locks Apply and changes the Count caption; both come back when the job ends.
    WaitFor([&] { return !IsWindowEnabled(GetDlgItem(dialog, ApplyButton)); }, 2000);
    const bool ended = WaitFor(
        [&] {
            return IsWindowEnabled(GetDlgItem(dialog, ApplyButton)) &&
                   Text(dialog, CountButton) == idleCaption;
        },
        20000);
    Log(ended ? L"applied; status: %ls" : L"the apply job did not end; status: %ls",
        Text(dialog, StatusLine));
    return ended ? 0 : 1;
}

// The system menu's command, the question answered with yes, and the undo pass to its end.
int Undo(HWND dialog, DWORD processId) {
    const std::wstring idleCaption = Text(dialog, CountButton);
    PostMessageW(dialog, WM_SYSCOMMAND, UndoCommand, 0);
    HWND question = FindDialog(processId, dialog);
    if (!question) {
        Log(L"no question%ls");
        return 1;
    }
    Sleep(100);
    PostMessageW(question, WM_COMMAND, IDYES, 0);
    WaitFor([&] { return Text(dialog, CountButton) != idleCaption; }, 2000);
    const bool ended = WaitFor([&] { return Text(dialog, CountButton) == idleCaption; }, 20000);
    Log(ended ? L"undone; status: %ls" : L"the undo did not end; status: %ls",
        Text(dialog, StatusLine));
    return ended ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc < 4)
        return 2;
    const std::wstring command = argv[1];
    const DWORD processId = wcstoul(argv[2], nullptr, 10);
    logFile = _wfopen(argv[3], L"a");
    HWND dialog = FindMainDialog(processId);
    if (!dialog) {
        Log(L"no main dialog%ls");
        return 1;
    }
    int result = 2;
    if (command == L"apply" && argc == 8)
        result = Apply(dialog, argv[4], wcstol(argv[5], nullptr, 10), wcstol(argv[6], nullptr, 10),
                       wcstol(argv[7], nullptr, 10));
    else if (command == L"undo")
        result = Undo(dialog, processId);
    else if (command == L"ok")
        result = Click(dialog, IDOK) ? 0 : 1;
    if (logFile)
        fclose(logFile);
    return result;
}
