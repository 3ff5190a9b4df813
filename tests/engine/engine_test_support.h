#pragma once
// Helpers of the engine tests: a clean job record, the real prompt answered from another
// thread, and the real main dialog created from its template.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/job_context.h"
#include "common/test_support.h"

namespace enginetest {

// Puts the job record and the shared globals back to a quiet state.
void ResetJob();
// Points the job at a folder and pattern, as target selection leaves them.
void SetTarget(const std::wstring &folder, const wchar_t *pattern);
// Stamps the item name of the folder in pickedPath as the walk does: by its extended-length
// path, with its attributes and the pickers' times as they are now. False when stopped.
bool StampNamed(const std::wstring &name);
// Sets the three pickers' values and whether each is switched on.
void SetTimes(const SYSTEMTIME *created, const SYSTEMTIME *modified, const SYSTEMTIME *accessed);

// A base for fixtures that stamp items in a temporary folder: makes items with an old time and
// tells afterwards whether their last-written time became the new one or stayed old.
class OldItemsFolder {
  protected:
    OldItemsFolder(const FILETIME &oldTime, const SYSTEMTIME &newLocal)
        : oldTime_(oldTime), newLocal_(newLocal) {}
    // Writes a file (and any missing parent folders) and gives it the old time.
    void MakeOld(const std::wstring &name);
    bool Stamped(const std::wstring &name);
    bool Untouched(const std::wstring &name);
    testsupport::TempDir dir;

  private:
    FILETIME oldTime_;
    SYSTEMTIME newLocal_;
};

// What a prompt on screen showed when it was answered.
struct PromptSeen {
    bool found = false;
    std::wstring title;
    std::wstring button1, button2;   // texts of the buttons with ids 1 and 2 (empty when absent)
    std::vector<std::wstring> texts; // texts of every child window
    bool Shows(const std::wstring &text) const;
};

// Waits on its own thread for a dialog (class "#32770") titled title, lets inspect look at it,
// records what it shows and presses the button with id answer. Answers up to count prompts.
class PromptAnswerer {
  public:
    PromptAnswerer(const std::wstring &title, int answer, int count = 1,
                   std::function<void(HWND)> inspect = nullptr, DWORD timeoutMs = 10000);
    ~PromptAnswerer();
    // Waits for the thread; the prompts seen, in order.
    const std::vector<PromptSeen> &Seen();

  private:
    void Run();
    std::wstring title_;
    int answer_;
    int count_;
    std::function<void(HWND)> inspect_;
    DWORD timeoutMs_;
    std::vector<PromptSeen> seen_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};
// Finds a visible prompt of this process by title (without pumping this thread's messages).
HWND FindPrompt(const std::wstring &title);
PromptSeen DescribePrompt(HWND prompt);

// The real main dialog (template 1000), modeless on the calling thread, with a small procedure:
// timer 1 refreshes the status line, IDCANCEL is recorded.
class TestDialog {
  public:
    TestDialog();
    ~TestDialog();
    HWND Window() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    std::wstring Text(int id) const;
    int TimerTicks() const { return ticks_; }
    int CancelCount() const { return cancels_; }
    // Runs at each progress tick, on the dialog thread.
    std::function<void()> onTick;

  private:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
    int ticks_ = 0;
    int cancels_ = 0;
};

// Starts a request the way the dialog does and pumps until every controller has ended.
bool WaitForControllers(DWORD timeoutMs = 20000);

// Jobs run through the controller on a fresh folder, with the test dialog: the job record is
// quiet around each test, and what the jobs keep (undo history, preview, saved list) is cleared.
class JobFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // A request of this mode, waited for.
    void Run(int32_t mode);
    testsupport::ItemTimes Now(const std::wstring &name);
    testsupport::TempDir dir;
    TestDialog dialog;
};

// The text the prompt's title shows, loaded like the program does.
std::wstring Text(UINT id);

} // namespace enginetest
