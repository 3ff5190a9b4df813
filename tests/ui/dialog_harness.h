#pragma once
// The real main dialog (template 1000, MainDialogProc) run modally on its own thread, as the
// entry point runs it, and driven from the test thread with window messages.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace uitest {

class MainDialogRun {
  public:
    // Starts DialogBoxParamW with this command line on a new thread; Window() waits for it.
    explicit MainDialogRun(const std::wstring &commandLine = L"");
    ~MainDialogRun(); // presses Cancel when still open and waits for the thread
    MainDialogRun(const MainDialogRun &) = delete;
    MainDialogRun &operator=(const MainDialogRun &) = delete;

    // The dialog once it shows (null when it did not show within the time).
    HWND Window(DWORD timeoutMs = 10000);
    HWND Item(int id) { return GetDlgItem(Window(), id); }
    std::wstring Text(int id);
    bool Enabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }
    // A user's click: only on an enabled, visible button (Wine would deliver it anyway).
    bool Click(int id);
    void SetFilter(const std::wstring &text);
    // Runs fn on the dialog's thread (the keyboard state that GetKeyState reads is per thread).
    void RunOnDialogThread(const std::function<void()> &fn);
    void SetControlHeld(bool held);
    // A user's edit of a picker: it takes the focus, a field is selected and stepped up, so that
    // the picker notifies the dialog itself.
    void StepPicker(int id, int steps = 1);

    // Puts a sentinel into the status line; every job ends by rewriting it.
    void MarkStatus();
    bool StatusMarked();
    // Waits until the status line was rewritten and no job is running.
    bool WaitForJobEnd(DWORD timeoutMs = 20000);

    // Waits for DialogBoxParamW to return; true when it did.
    bool WaitClosed(DWORD timeoutMs);
    INT_PTR Result() const { return result_; }
    DWORD ThreadId() const { return threadId_; }

  private:
    static DWORD WINAPI ThreadMain(void *self);
    std::wstring commandLine_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
    INT_PTR result_ = -1;
};

// A visible dialog (#32770) of the given thread other than `except`, such as the error prompt.
HWND FindThreadDialog(DWORD threadId, HWND except, DWORD timeoutMs);
// A button of a dialog (searched through its descendants) whose text, without '&', is `text`.
HWND FindButton(HWND dialog, const std::wstring &text);
// The visible top-level windows of a process.
std::vector<HWND> VisibleWindowsOf(DWORD processId);
// All texts of a window's descendants, joined by line feeds.
std::wstring AllTexts(HWND window);

SYSTEMTIME PickerTime(HWND picker, LRESULT *state = nullptr);
void SetPickerTime(HWND picker, const SYSTEMTIME &time);
// The picker's own check box (a child button under Wine), clicked like a user would.
bool ClickPickerBox(HWND picker);
bool SameDateTime(const SYSTEMTIME &a, const SYSTEMTIME &b);
std::wstring Describe(const SYSTEMTIME &time);

} // namespace uitest
