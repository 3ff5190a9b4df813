// Drops on the real main dialog: the dropped item becomes the target and is counted, an item
// that cannot be used leaves the previous target in force, and a drop ends a running pass.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "app/job_context.h"
#include "app/text.h"
#include "common/test_support.h"
#include "dragdrop/vandrel_drop.h"
#include "res/resource.h"
#include "test_data_object.h"
#include "ui/main_dialog.h"

using testsupport::TempDir;
using testsupport::WindowText;

namespace {

const wchar_t StatusSentinel[] = L"(status not rewritten)";

// A text as gtest shows it, for messages.
std::string Shown(const std::wstring &text) {
    return testing::PrintToString(text);
}

// The status line after a count with the option "folders too" off: the files only.
std::wstring CountsText(unsigned files) {
    wchar_t text[256];
    FormatText(text, 256, LoadText(IDS_STATUS_RESULT), files, 0u);
    std::wstring shown = text;
    return shown.substr(0, shown.rfind(L','));
}

BOOL CALLBACK CollectText(HWND window, LPARAM param) {
    *reinterpret_cast<std::wstring *>(param) += WindowText(window) + L"\n";
    return TRUE;
}

struct PromptQuery {
    HWND except;
    HWND found;
};

BOOL CALLBACK MatchPrompt(HWND window, LPARAM param) {
    auto *query = reinterpret_cast<PromptQuery *>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (window != query->except && process == GetCurrentProcessId() && IsWindowVisible(window) &&
        lstrcmpW(className, L"#32770") == 0) {
        query->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible dialog of this process other than the main dialog: the file error prompt.
HWND WaitForPrompt(HWND mainDialog, DWORD timeoutMs) {
    PromptQuery query = {mainDialog, nullptr};
    const DWORD start = GetTickCount();
    for (;;) {
        EnumWindows(MatchPrompt, reinterpret_cast<LPARAM>(&query));
        if (query.found || GetTickCount() - start >= timeoutMs)
            return query.found;
        Sleep(20);
    }
}

// Waits on its own thread for the file error prompt, keeps its texts, runs whileOpen and
// confirms it.
class PromptAnswerer {
  public:
    explicit PromptAnswerer(HWND mainDialog, std::function<void()> whileOpen = nullptr)
        : thread_([this, mainDialog, whileOpen] {
              HWND prompt = WaitForPrompt(mainDialog, 15000);
              if (!prompt)
                  return;
              Sleep(100); // let it finish building its controls
              if (whileOpen)
                  whileOpen();
              std::wstring texts;
              EnumChildWindows(prompt, CollectText, reinterpret_cast<LPARAM>(&texts));
              texts_ = texts;
              seen_ = true;
              PostMessageW(prompt, WM_COMMAND, IDOK, 0);
          }) {}
    ~PromptAnswerer() { Join(); }
    void Join() {
        if (thread_.joinable())
            thread_.join();
    }
    bool Seen() {
        Join();
        return seen_;
    }
    const std::wstring &Texts() {
        Join();
        return texts_;
    }

  private:
    std::atomic<bool> seen_{false};
    std::wstring texts_;
    std::thread thread_;
};

// The program's drop target and the main dialog as the entry point makes them, the dialog
// modeless on the test thread so that the test's IDropTarget calls arrive on the dialog's thread.
class DropOnMainDialog : public testing::Test {
  protected:
    void SetUp() override {
        // The first target: a folder with two files.
        testsupport::WriteTextFile(first_ + L"\\a.txt");
        testsupport::WriteTextFile(first_ + L"\\b.txt");
        // The one to drop: three files and a sub-folder.
        testsupport::WriteTextFile(second_ + L"\\c.txt");
        testsupport::WriteTextFile(second_ + L"\\d.txt");
        testsupport::WriteTextFile(second_ + L"\\e.dat");
        testsupport::MakeFolder(second_ + L"\\inner");

        dropTarget = new CVandrel;
        commandLine_ = L"\"" + first_ + L"\"";
        dialog_ =
            CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc,
                               reinterpret_cast<LPARAM>(commandLine_.c_str()));
        ASSERT_NE(nullptr, dialog_);
        ASSERT_EQ(dialog_, dropTarget->window) << "the dialog registers the drop target";
        ASSERT_TRUE(WaitForCount(CountsText(2))) << Shown(Status());
        target_ = dropTarget;
    }
    void TearDown() override {
        testsupport::PumpUntil([] { return jobPhase == PhaseIdle; }, 10000);
        if (dialog_)
            DestroyWindow(dialog_);
        // The dialog's clean-up posts WM_QUIT: take it off this thread's queue.
        MSG quit;
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        std::exchange(dropTarget, nullptr)->Release();
        jobContext.dialog = nullptr;
    }

    std::wstring Status() { return WindowText(GetDlgItem(dialog_, IDC_STATUS)); }
    std::wstring Filter() { return WindowText(GetDlgItem(dialog_, IDC_FILTER)); }
    void MarkStatus() { SetDlgItemTextW(dialog_, IDC_STATUS, StatusSentinel); }
    // Waits until a job has rewritten the status line with this text and no job runs.
    bool WaitForCount(const std::wstring &expected) {
        return testsupport::PumpUntil([&] { return jobPhase == PhaseIdle && Status() == expected; },
                                      20000);
    }

    // One whole drag: enter, a move, and the drop; answers the drop's effect (and the one the
    // drag was shown with).
    DWORD DragAndDrop(const std::wstring &path, DWORD *shown = nullptr) {
        TestDataObject *data = new TestDataObject;
        data->SetFiles({path});
        DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        target_->DragEnter(data, MK_LBUTTON, POINTL{100, 100}, &effect);
        if (shown)
            *shown = effect;
        effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        target_->DragOver(MK_LBUTTON, POINTL{110, 110}, &effect);
        effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
        target_->Drop(data, 0, POINTL{110, 110}, &effect);
        data->Release();
        return effect;
    }

    // A file locked by this test is dropped: a notice, then the first target counted again.
    void DropLockedFileAndExpectThePreviousTarget() {
        const std::wstring locked = second_ + L"\\c.txt";
        HANDLE holder = CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder);
        MarkStatus();
        PromptAnswerer answerer(dialog_);
        EXPECT_EQ(DROPEFFECT_NONE, DragAndDrop(locked)) << "the source is told it was refused";
        const bool seen = answerer.Seen();
        CloseHandle(holder);
        ASSERT_TRUE(seen) << "the notice is shown while the drop is handled";
        EXPECT_NE(std::wstring::npos, answerer.Texts().find(L"c.txt"));
        EXPECT_STREQ(first_.c_str(), jobContext.folder);
        EXPECT_EQ(L"*.*", Filter());
        EXPECT_EQ(L"first", WindowText(GetDlgItem(dialog_, IDC_TARGET_NAME)));
        EXPECT_TRUE(WaitForCount(CountsText(2))) << "the previous target is counted again";
    }

    TempDir temp_;
    std::wstring first_ = temp_ / L"first";
    std::wstring second_ = temp_ / L"second";
    std::wstring commandLine_;
    HWND dialog_ = nullptr;
    IDropTarget *target_ = nullptr;
};

TEST_F(DropOnMainDialog, ADroppedFolderBecomesTheTargetAndIsCounted) {
    MarkStatus();
    EXPECT_EQ(DROPEFFECT_COPY, DragAndDrop(second_));
    EXPECT_STREQ(second_.c_str(), jobContext.folder);
    EXPECT_STREQ(L"*.*", jobContext.pattern);
    EXPECT_EQ(L"*.*", Filter());
    EXPECT_EQ(L"second", WindowText(GetDlgItem(dialog_, IDC_TARGET_NAME)));
    EXPECT_TRUE(WaitForCount(CountsText(3))) << Shown(Status());
    EXPECT_EQ(1, autoRecount.load()) << "a later edit of the filter arms the recount again";
}

TEST_F(DropOnMainDialog, ADroppedFileBecomesTheTargetAndIsCounted) {
    MarkStatus();
    EXPECT_EQ(DROPEFFECT_COPY, DragAndDrop(second_ + L"\\e.dat"));
    EXPECT_STREQ(second_.c_str(), jobContext.folder);
    EXPECT_EQ(L"e.dat", Filter());
    EXPECT_TRUE(WaitForCount(CountsText(1)));
    EXPECT_EQ(1u, jobContext.flatCounts.files.load());
}

// A dropped name that really ends in a dot or a space is that item: shown, counted and stamped,
// while its plain twin keeps its times.
TEST_F(DropOnMainDialog, ANameEndingInADotOrASpaceIsThatItemNotItsTwin) {
    const std::wstring dotted = second_ + L".", twin = second_ + L"\\c.txt";
    testsupport::WriteTextFile(dotted + L"\\x.txt");
    testsupport::WriteTextFile(twin + L" ");
    const SYSTEMTIME chosen = testsupport::MakeLocalTime(2002, 3, 4, 5, 6, 7);
    const struct {
        std::wstring dropped, folder, filter, name, stamped;
    } cases[] = {
        {dotted, dotted, L"*.*", L"second.", dotted + L"\\x.txt"},
        {twin + L" ", second_, L"c.txt ", L"second", twin + L" "},
    };
    for (const auto &c : cases) {
        MarkStatus();
        EXPECT_EQ(DROPEFFECT_COPY, DragAndDrop(c.dropped));
        EXPECT_EQ(c.folder, std::wstring(jobContext.folder));
        EXPECT_EQ(c.filter, Filter());
        EXPECT_EQ(c.name, WindowText(GetDlgItem(dialog_, IDC_TARGET_NAME)));
        EXPECT_TRUE(WaitForCount(CountsText(1))) << Shown(Status());
        for (int id : {IDC_PICK_CREATED, IDC_PICK_MODIFIED, IDC_PICK_ACCESSED})
            SendDlgItemMessageW(dialog_, id, DTM_SETSYSTEMTIME, GDT_VALID,
                                reinterpret_cast<LPARAM>(&chosen));
        MarkStatus();
        SendMessageW(dialog_, WM_COMMAND, IDC_APPLY, 0);
        ASSERT_TRUE(testsupport::PumpUntil(
            [&] { return jobPhase == PhaseIdle && Status() != StatusSentinel; }, 20000));
        testsupport::ItemTimes stamped = {}, untouched = {};
        ASSERT_TRUE(testsupport::ReadTimes(c.stamped, &stamped));
        ASSERT_TRUE(testsupport::ReadTimes(twin, &untouched));
        const FILETIME chosenUtc = testsupport::LocalToUtc(chosen);
        EXPECT_TRUE(testsupport::SameTime(stamped.written, chosenUtc)) << Shown(c.dropped);
        EXPECT_FALSE(testsupport::SameTime(untouched.written, chosenUtc)) << Shown(c.dropped);
    }
}

TEST_F(DropOnMainDialog, AnUnopenableFileLeavesThePreviousTargetAndCountsItAgain) {
    DropLockedFileAndExpectThePreviousTarget();
}

// Windows XP has no task dialog: the notice is a message box, and the drop takes the same road.
class DropOnMainDialogWinXp : public DropOnMainDialog {};

TEST_F(DropOnMainDialogWinXp, AnUnopenableFileLeavesThePreviousTargetAndCountsItAgain) {
    DropLockedFileAndExpectThePreviousTarget();
}

TEST_F(DropOnMainDialog, AFolderOf300CharactersBecomesTheTarget) {
    std::wstring deep = second_;
    while (deep.size() < 300)
        deep += L"\\folder";
    testsupport::MakeFolder(deep);
    EXPECT_EQ(DROPEFFECT_COPY, DragAndDrop(deep));
    EXPECT_STREQ(deep.c_str(), jobContext.folder);
    EXPECT_EQ(L"*.*", Filter());
}

TEST_F(DropOnMainDialog, APathLongerThanTheSystemTakesIsShownAsRefusedAndChangesNothing) {
    std::wstring longPath = second_;
    while (longPath.size() < PathCapacity)
        longPath += L"\\" + std::wstring(40, L'q');
    MarkStatus();
    DWORD shown = DROPEFFECT_COPY;
    EXPECT_EQ(DROPEFFECT_NONE, DragAndDrop(longPath, &shown));
    EXPECT_EQ(DROPEFFECT_NONE, shown) << "the drag shows it cannot be dropped";
    testsupport::PumpUntil([] { return false; }, 300);
    EXPECT_EQ(StatusSentinel, Status()) << "no count was started";
    EXPECT_STREQ(first_.c_str(), jobContext.folder);
    EXPECT_STREQ(first_.c_str(), jobContext.pickedPath);
}

TEST_F(DropOnMainDialog, NoRequestStartsWhileTheNoticeIsOpen) {
    const std::wstring locked = second_ + L"\\c.txt";
    HANDLE holder = CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    SYSTEMTIME chosen = testsupport::MakeLocalTime(2002, 3, 4, 5, 6, 7);
    for (int id : {IDC_PICK_CREATED, IDC_PICK_MODIFIED, IDC_PICK_ACCESSED})
        SendDlgItemMessageW(dialog_, id, DTM_SETSYSTEMTIME, GDT_VALID,
                            reinterpret_cast<LPARAM>(&chosen));
    std::atomic<bool> dialogEnabled{true}, jobStarted{false};
    PromptAnswerer answerer(dialog_, [&] {
        dialogEnabled = IsWindowEnabled(dialog_) != FALSE;
        // What a user or the recount timer could ask for while the notice shows.
        for (WPARAM id : {IDOK, IDC_APPLY, IDC_COUNT})
            SendMessageW(dialog_, WM_COMMAND, id, 0);
        SendMessageW(dialog_, WM_TIMER, 2, 0);
        Sleep(300);
        jobStarted = jobPhase != PhaseIdle;
    });
    DragAndDrop(locked);
    ASSERT_TRUE(answerer.Seen());
    CloseHandle(holder);
    EXPECT_FALSE(dialogEnabled) << "the notice is owned by the dialog";
    EXPECT_FALSE(jobStarted);
    EXPECT_TRUE(WaitForCount(CountsText(2))) << "the previous target is counted again";
    EXPECT_TRUE(IsWindowVisible(dialog_)) << "an OK was taken while the notice showed";
    for (const wchar_t *name : {L"\\a.txt", L"\\b.txt"}) {
        testsupport::ItemTimes times = {};
        ASSERT_TRUE(testsupport::ReadTimes(first_ + name, &times));
        EXPECT_FALSE(testsupport::SameTime(times.written, testsupport::LocalToUtc(chosen)));
    }
}

TEST_F(DropOnMainDialog, ADropDuringAnOkPassEndsItWithoutClosingTheDialog) {
    testsupport::SlowItem slow(L"a.txt", 1000);
    SendMessageW(dialog_, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(testsupport::PumpUntil([] { return testsupport::SlowItem::Inside(); }, 15000));
    MarkStatus();
    EXPECT_EQ(DROPEFFECT_COPY, DragAndDrop(second_));
    EXPECT_STREQ(second_.c_str(), jobContext.folder);
    EXPECT_TRUE(WaitForCount(CountsText(3)));
    EXPECT_TRUE(IsWindowVisible(dialog_)) << "the ended OK job closed the dialog";
}

TEST_F(DropOnMainDialog, ClosingTheDialogRevokesTheRegistration) {
    DestroyWindow(dialog_);
    EXPECT_EQ(nullptr, dropTarget->window);
    dialog_ = nullptr;
}

TEST_F(DropOnMainDialog, TwoItemsChangeNothing) {
    TestDataObject *data = new TestDataObject;
    data->SetFiles({second_ + L"\\c.txt", second_ + L"\\d.txt"});
    MarkStatus();
    DWORD effect = DROPEFFECT_COPY;
    target_->DragEnter(data, 0, POINTL{0, 0}, &effect);
    target_->Drop(data, 0, POINTL{0, 0}, &effect);
    EXPECT_EQ(DROPEFFECT_NONE, effect);
    data->Release();
    testsupport::PumpUntil([] { return false; }, 300);
    EXPECT_EQ(StatusSentinel, Status()) << "no count was started";
    EXPECT_STREQ(first_.c_str(), jobContext.folder);
}

TEST_F(DropOnMainDialog, ADropDuringAnApplyPassEndsItAndCountsTheNewTarget) {
    // The apply pass stops at a file that cannot be stamped and waits in the error prompt.
    const std::wstring locked = first_ + L"\\a.txt";
    testsupport::RefuseStamping refuse({L"a.txt"});
    SendMessageW(dialog_, WM_COMMAND, IDC_APPLY, 0);
    HWND prompt = nullptr;
    testsupport::PumpUntil([&] { return (prompt = WaitForPrompt(dialog_, 0)) != nullptr; }, 15000);
    ASSERT_NE(nullptr, prompt) << "the apply pass reached the locked file";
    ASSERT_EQ(PhaseApplying, jobPhase.load());

    MarkStatus();
    EXPECT_EQ(DROPEFFECT_COPY, DragAndDrop(second_));
    // The drop has ended the pass before it changed the target.
    EXPECT_NE(PhaseApplying, jobPhase.load());
    EXPECT_STREQ(second_.c_str(), jobContext.folder);
    EXPECT_TRUE(WaitForCount(CountsText(3)));
    EXPECT_FALSE(IsWindow(prompt)) << "the ended pass took its prompt with it";
}

} // namespace
