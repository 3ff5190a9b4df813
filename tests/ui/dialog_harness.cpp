#include "ui/dialog_harness.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstdio>

#include "app/job_context.h"
#include "common/test_support.h"
#include "res/resource.h"
#include "ui/main_dialog.h"

namespace uitest {

namespace {

const wchar_t StatusSentinel[] = L"\x2042 status not rewritten \x2042";

UINT RunMessage() {
    static const UINT message = RegisterWindowMessageW(L"VandrelUiTestRun");
    return message;
}

// Sees every message sent to the dialog's thread; runs the functions that the test hands over.
LRESULT CALLBACK CallHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto *call = reinterpret_cast<const CWPSTRUCT *>(lParam);
    if (code == HC_ACTION && call->message == RunMessage())
        (*reinterpret_cast<const std::function<void()> *>(call->lParam))();
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool WaitFor(const std::function<bool()> &done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return done();
        Sleep(5);
    }
    return true;
}

struct ThreadDialogQuery {
    HWND except;
    HWND found;
};

BOOL CALLBACK MatchThreadDialog(HWND window, LPARAM param) {
    auto *query = reinterpret_cast<ThreadDialogQuery *>(param);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (window != query->except && IsWindowVisible(window) && lstrcmpW(className, L"#32770") == 0) {
        query->found = window;
        return FALSE;
    }
    return TRUE;
}

std::wstring WithoutAmpersands(const std::wstring &text) {
    std::wstring result;
    for (wchar_t c : text)
        if (c != L'&')
            result += c;
    return result;
}

struct ButtonQuery {
    std::wstring text;
    HWND found;
};

BOOL CALLBACK MatchButton(HWND window, LPARAM param) {
    auto *query = reinterpret_cast<ButtonQuery *>(param);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (lstrcmpiW(className, L"Button") == 0 &&
        WithoutAmpersands(testsupport::WindowText(window)) == query->text) {
        query->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectText(HWND window, LPARAM param) {
    auto *texts = reinterpret_cast<std::wstring *>(param);
    *texts += testsupport::WindowText(window);
    *texts += L'\n';
    return TRUE;
}

struct ProcessWindows {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM param) {
    auto *query = reinterpret_cast<ProcessWindows *>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == query->processId && IsWindowVisible(window))
        query->windows.push_back(window);
    return TRUE;
}

} // namespace

MainDialogRun::MainDialogRun(const std::wstring &commandLine) : commandLine_(commandLine) {
    thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, &threadId_);
}

DWORD WINAPI MainDialogRun::ThreadMain(void *param) {
    auto *self = static_cast<MainDialogRun *>(param);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CallHook, nullptr, GetCurrentThreadId());
    self->result_ =
        DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc,
                        reinterpret_cast<LPARAM>(self->commandLine_.c_str()));
    UnhookWindowsHookEx(hook);
    CoUninitialize();
    return 0;
}

MainDialogRun::~MainDialogRun() {
    if (thread_) {
        if (WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT) {
            // A prompt of the dialog's thread (left open by a failed test) goes first.
            for (int i = 0; i < 5; ++i) {
                HWND prompt = FindThreadDialog(threadId_, window_, 0);
                if (!prompt)
                    break;
                PostMessageW(prompt, WM_COMMAND, IDCANCEL, 0);
                Sleep(100);
            }
            if (window_)
                PostMessageW(window_, WM_COMMAND, IDCANCEL, 0);
            WaitForSingleObject(thread_, 20000);
        }
        CloseHandle(thread_);
    }
    jobContext.dialog = nullptr;
}

HWND MainDialogRun::Window(DWORD timeoutMs) {
    if (window_)
        return window_;
    WaitFor(
        [&] {
            ThreadDialogQuery query = {nullptr, nullptr};
            EnumThreadWindows(threadId_, MatchThreadDialog, reinterpret_cast<LPARAM>(&query));
            // The main dialog is the one made from template 1000: it has the status line.
            if (query.found && GetDlgItem(query.found, IDC_STATUS))
                window_ = query.found;
            return window_ != nullptr || WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0;
        },
        timeoutMs);
    return window_;
}

std::wstring MainDialogRun::Text(int id) {
    return testsupport::WindowText(Item(id));
}

bool MainDialogRun::Click(int id) {
    HWND button = Item(id);
    if (!button || !IsWindowEnabled(button) || !IsWindowVisible(button))
        return false;
    SendMessageW(button, BM_CLICK, 0, 0);
    return true;
}

void MainDialogRun::SetFilter(const std::wstring &text) {
    SetWindowTextW(Item(IDC_FILTER), text.c_str());
}

void MainDialogRun::RunOnDialogThread(const std::function<void()> &fn) {
    SendMessageW(Window(), RunMessage(), 0, reinterpret_cast<LPARAM>(&fn));
}

void MainDialogRun::SetControlHeld(bool held) {
    RunOnDialogThread([held] {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = held ? 0x80 : 0;
        keys[VK_LCONTROL] = held ? 0x80 : 0;
        SetKeyboardState(keys);
    });
}

void MainDialogRun::MarkStatus() {
    SetWindowTextW(Item(IDC_STATUS), StatusSentinel);
}

bool MainDialogRun::StatusMarked() {
    return Text(IDC_STATUS) == StatusSentinel;
}

bool MainDialogRun::WaitForJobEnd(DWORD timeoutMs) {
    return WaitFor([&] { return !StatusMarked() && jobPhase == PhaseIdle; }, timeoutMs);
}

bool MainDialogRun::WaitClosed(DWORD timeoutMs) {
    return WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0;
}

HWND FindThreadDialog(DWORD threadId, HWND except, DWORD timeoutMs) {
    ThreadDialogQuery query = {except, nullptr};
    WaitFor(
        [&] {
            EnumThreadWindows(threadId, MatchThreadDialog, reinterpret_cast<LPARAM>(&query));
            return query.found != nullptr;
        },
        timeoutMs);
    return query.found;
}

HWND FindButton(HWND dialog, const std::wstring &text) {
    ButtonQuery query = {WithoutAmpersands(text), nullptr};
    EnumChildWindows(dialog, MatchButton, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

std::vector<HWND> VisibleWindowsOf(DWORD processId) {
    ProcessWindows query = {processId, {}};
    EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&query));
    return query.windows;
}

std::wstring AllTexts(HWND window) {
    std::wstring texts = testsupport::WindowText(window) + L'\n';
    EnumChildWindows(window, CollectText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

SYSTEMTIME PickerTime(HWND picker, LRESULT *state) {
    SYSTEMTIME time = {};
    const LRESULT answer =
        SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
    if (state)
        *state = answer;
    return time;
}

void SetPickerTime(HWND picker, const SYSTEMTIME &time) {
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
}

void MainDialogRun::StepPicker(int id, int steps) {
    HWND picker = Item(id);
    RunOnDialogThread([picker] { SetFocus(picker); });
    SendMessageW(picker, WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageW(picker, WM_KEYUP, VK_RIGHT, 0);
    for (int i = 0; i < steps; ++i) {
        SendMessageW(picker, WM_KEYDOWN, VK_UP, 0);
        SendMessageW(picker, WM_KEYUP, VK_UP, 0);
    }
}

bool ClickPickerBox(HWND picker) {
    HWND box = FindWindowExW(picker, nullptr, L"Button", nullptr);
    if (!box)
        return false;
    SendMessageW(box, BM_CLICK, 0, 0);
    return true;
}

bool SameDateTime(const SYSTEMTIME &a, const SYSTEMTIME &b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute && a.wSecond == b.wSecond;
}

std::wstring Describe(const SYSTEMTIME &time) {
    wchar_t text[64];
    _snwprintf(text, 64, L"%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth, time.wDay,
               time.wHour, time.wMinute, time.wSecond);
    return text;
}

} // namespace uitest
