// The requests the dialog makes of the job controller: enabling, the filter's delayed recount,
// the option boxes, Count/Stop, OK and Apply, and a picker change while a pass runs.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <memory>
#include <string>

#include "app/job_context.h"
#include "app/text.h"
#include "common/test_support.h"
#include "ui/job_controller.h"
#include "engine/walk.h"
#include "res/resource.h"
#include "ui/dialog_harness.h"

using testsupport::SlowItem;
using testsupport::TempDir;
using testsupport::WriteTextFile;
using uitest::MainDialogRun;

namespace {

class MainDialogRequests : public ::testing::Test {
  protected:
    // a.txt b.txt c.log, sub\d.txt sub\e.txt, sub\deeper\f.txt: flat 3 files and 1 folder,
    // deep 6 files and 2 folders.
    void MakeTree() {
        WriteTextFile(dir_ / L"a.txt");
        WriteTextFile(dir_ / L"b.txt");
        WriteTextFile(dir_ / L"c.log");
        WriteTextFile(dir_ / L"sub\\d.txt");
        WriteTextFile(dir_ / L"sub\\e.txt");
        WriteTextFile(dir_ / L"sub\\deeper\\f.txt");
    }
    void MakeManyFiles(int count) {
        for (int i = 0; i < count; ++i)
            WriteTextFile(dir_ / (L"file" + std::to_wstring(i) + L".dat"));
    }
    // Starts the dialog on the folder and waits for the first count to end.
    MainDialogRun &Start() {
        run_ = std::make_unique<MainDialogRun>(dir_.Path());
        EXPECT_NE(run_->Window(), nullptr);
        EXPECT_TRUE(testsupport::PumpUntil(
            [&] { return !run_->Text(IDC_STATUS).empty() && jobPhase == PhaseIdle; }, 20000))
            << "the first count did not end";
        return *run_;
    }
    void SetAllPickers(const SYSTEMTIME &time) {
        for (int id : {IDC_PICK_CREATED, IDC_PICK_MODIFIED, IDC_PICK_ACCESSED})
            uitest::SetPickerTime(run_->Item(id), time);
    }
    FILETIME Written(const std::wstring &path) {
        testsupport::ItemTimes times = {};
        EXPECT_TRUE(testsupport::ReadTimes(path, &times)) << "cannot read " << path.size();
        return times.written;
    }

    TempDir dir_;
    std::unique_ptr<MainDialogRun> run_;
};

} // namespace

TEST_F(MainDialogRequests, EnablingFollowsTheFilterAndThePickers) {
    MakeTree();
    MainDialogRun &run = Start();
    struct Case {
        const wchar_t *filter;
        bool usable;
    } cases[] = {{L"", false},     {L".", false},  {L"..", false},
                 {L"*.txt", true}, {L"...", true}, {L"a?.txt", true}};
    for (const Case &c : cases) {
        run.SetFilter(c.filter);
        EXPECT_EQ(run.Enabled(IDC_COUNT), c.usable) << "filter " << c.usable;
        EXPECT_EQ(run.Enabled(IDOK), c.usable);
        EXPECT_EQ(run.Enabled(IDC_APPLY), c.usable);
    }
    // All three pickers off: nothing to write, but counting still makes sense.
    for (int id : {IDC_PICK_CREATED, IDC_PICK_MODIFIED, IDC_PICK_ACCESSED}) {
        EXPECT_TRUE(run.Enabled(IDOK));
        ASSERT_TRUE(uitest::ClickPickerBox(run.Item(id)));
    }
    EXPECT_EQ(jobContext.useCreated + jobContext.useModified + jobContext.useAccessed, 0);
    EXPECT_TRUE(run.Enabled(IDC_COUNT));
    EXPECT_FALSE(run.Enabled(IDOK));
    EXPECT_FALSE(run.Enabled(IDC_APPLY));
    ASSERT_TRUE(uitest::ClickPickerBox(run.Item(IDC_PICK_ACCESSED)));
    EXPECT_EQ(jobContext.useAccessed, 1);
    EXPECT_TRUE(run.Enabled(IDOK));
    EXPECT_TRUE(run.Enabled(IDC_APPLY));
}

// Typing stops where the pattern is full; a longer filter set from outside is never cut and
// used: it leaves nothing to count or apply.
TEST_F(MainDialogRequests, FilterNeverLongerThanThePatternAndNeverCut) {
    MakeTree();
    MainDialogRun &run = Start();
    run.SetFilter(L"");
    for (int i = 0; i < 300; ++i)
        SendMessageW(run.Item(IDC_FILTER), WM_CHAR, L'*', 0);
    EXPECT_EQ(run.Text(IDC_FILTER).size(), size_t{PatternCapacity - 1});
    for (const std::wstring &filter :
         {std::wstring(296, L'*') + L".txt", std::wstring(252, L'?') + L".log?"}) {
        run.SetFilter(filter);
        EXPECT_STREQ(jobContext.pattern, L"") << filter.size();
        for (int id : {IDC_COUNT, IDOK, IDC_APPLY})
            EXPECT_FALSE(run.Enabled(id)) << filter.size() << " " << id;
    }
}

TEST_F(MainDialogRequests, FilterIsRecountedFiveSecondsAfterTheLastEdit) {
    MakeTree();
    MainDialogRun &run = Start();
    run.MarkStatus();
    const DWORD start = GetTickCount();
    run.SetFilter(L"*.t");
    EXPECT_EQ(jobContext.flatCounts.files, 0u) << "an edit makes the counts stale";
    Sleep(3000);
    run.SetFilter(L"*.txt");
    const DWORD lastEdit = GetTickCount();
    while (GetTickCount() - start < 6500)
        Sleep(50);
    EXPECT_TRUE(run.StatusMarked()) << "counted 5 s after the first edit, not the last";
    EXPECT_EQ(jobContext.flatCounts.files, 0u);
    ASSERT_TRUE(run.WaitForJobEnd(10000));
    const DWORD counted = GetTickCount() - lastEdit;
    EXPECT_GE(counted, 4900u);
    EXPECT_EQ(jobContext.flatCounts.files, 2u); // a.txt and b.txt
    EXPECT_EQ(run.Text(IDC_STATUS), L"Plików: 2");
}

TEST_F(MainDialogRequests, ClearingTheFilterKillsThePendingRecount) {
    MakeTree();
    MainDialogRun &run = Start();
    run.MarkStatus();
    run.SetFilter(L"*.log");
    Sleep(1000);
    run.SetFilter(L"");
    EXPECT_EQ(run.Text(IDC_STATUS), L"Plików: 0") << "the last count is shown cleared";
    run.MarkStatus();
    Sleep(5500);
    EXPECT_TRUE(run.StatusMarked());
    EXPECT_EQ(jobPhase, PhaseIdle);
}

TEST_F(MainDialogRequests, ProgramFillingTheFilterArmsNoRecount) {
    MakeTree();
    const DWORD start = GetTickCount();
    MainDialogRun &run = Start();
    run.MarkStatus();
    while (GetTickCount() - start < 7000)
        Sleep(50);
    EXPECT_TRUE(run.StatusMarked()) << "a count ran after the start-up count";
}

TEST_F(MainDialogRequests, IncludeSubfoldersCountsOncePerMode) {
    MakeTree();
    MainDialogRun &run = Start();
    EXPECT_EQ(run.Text(IDC_STATUS), L"Plików: 3");
    run.MarkStatus();
    ASSERT_TRUE(run.Click(IDC_SUBFOLDERS));
    ASSERT_TRUE(run.WaitForJobEnd());
    EXPECT_EQ(jobContext.includeSubfolders, 1);
    EXPECT_EQ(jobContext.deepCounts.files, 6u);
    EXPECT_EQ(jobContext.deepCounts.folders, 2u);
    EXPECT_EQ(run.Text(IDC_STATUS), L"Plików: 6");
    // Both modes counted now: a switch only shows the kept counts (marked here, so a fresh count
    // would show through).
    jobContext.flatCounts.files = 77;
    ASSERT_TRUE(run.Click(IDC_SUBFOLDERS));
    EXPECT_EQ(run.Text(IDC_STATUS), L"Plików: 77");
    jobContext.deepCounts.files = 88;
    ASSERT_TRUE(run.Click(IDC_SUBFOLDERS));
    EXPECT_EQ(run.Text(IDC_STATUS), L"Plików: 88");
    Sleep(700);
    EXPECT_EQ(run.Text(IDC_STATUS), L"Plików: 88") << "no count may follow";
    EXPECT_EQ(jobContext.deepCounts.files, 88u);
    EXPECT_EQ(jobContext.flatCounts.files, 77u);
}

TEST_F(MainDialogRequests, ModeCountedAsEmptyIsCountedAgain) {
    MainDialogRun &run = Start(); // an empty folder: 0 files and 0 folders in both modes
    EXPECT_EQ(run.Text(IDC_STATUS), L"Plików: 0");
    // Deep mode, never counted, then back to the flat mode whose count was 0 and 0: both count.
    for (int i = 0; i < 2; ++i) {
        WriteTextFile(dir_ / (L"new" + std::to_wstring(i) + L".txt"));
        run.MarkStatus();
        ASSERT_TRUE(run.Click(IDC_SUBFOLDERS));
        ASSERT_TRUE(run.WaitForJobEnd()) << "switch " << i << " did not count";
        EXPECT_EQ(run.Text(IDC_STATUS), L"Plików: " + std::to_wstring(i + 1));
    }
    // The deep mode now holds a count of 1: it is shown, not counted again.
    WriteTextFile(dir_ / L"new2.txt");
    ASSERT_TRUE(run.Click(IDC_SUBFOLDERS));
    Sleep(700);
    EXPECT_EQ(run.Text(IDC_STATUS), L"Plików: 1");
}

TEST_F(MainDialogRequests, ApplyToFoldersOnlyRefreshesTheLine) {
    MakeTree();
    MainDialogRun &run = Start();
    jobContext.flatCounts.files = 5;
    jobContext.flatCounts.folders = 4;
    ASSERT_TRUE(run.Click(IDC_APPLY_TO_FOLDERS));
    EXPECT_EQ(jobContext.applyToFolders, 1);
    EXPECT_EQ(run.Text(IDC_STATUS), L"Plików: 5, folderów: 4");
    ASSERT_TRUE(run.Click(IDC_APPLY_TO_FOLDERS));
    EXPECT_EQ(jobContext.applyToFolders, 0);
    EXPECT_EQ(run.Text(IDC_STATUS), L"Plików: 5");
    Sleep(700);
    EXPECT_EQ(jobContext.flatCounts.files, 5u) << "no count may follow";
    EXPECT_EQ(jobPhase, PhaseIdle);
}

TEST_F(MainDialogRequests, CountButtonRecountsTheEditedFilterAtOnce) {
    MakeTree();
    MainDialogRun &run = Start();
    run.SetFilter(L"*.log");
    run.MarkStatus();
    ASSERT_TRUE(run.Click(IDC_COUNT));
    ASSERT_TRUE(run.WaitForJobEnd());
    EXPECT_EQ(jobContext.flatCounts.files, 1u);
    // The click also killed the filter's timer: no second count 5 s after the edit.
    run.MarkStatus();
    Sleep(5500);
    EXPECT_TRUE(run.StatusMarked());
}

TEST_F(MainDialogRequests, ApplyStaysOpenAndOkClosesAfterTheJob) {
    MakeTree();
    MainDialogRun &run = Start();
    const SYSTEMTIME first = testsupport::MakeLocalTime(2004, 5, 6, 7, 8, 9);
    SetAllPickers(first);
    run.MarkStatus();
    ASSERT_TRUE(run.Click(IDC_APPLY));
    ASSERT_TRUE(run.WaitForJobEnd());
    EXPECT_FALSE(run.WaitClosed(500)) << "Apply leaves the dialog open";
    for (const wchar_t *name : {L"a.txt", L"b.txt", L"c.log"})
        EXPECT_TRUE(testsupport::SameTime(Written(dir_ / name), testsupport::LocalToUtc(first)))
            << "not stamped by Apply";
    EXPECT_FALSE(
        testsupport::SameTime(Written(dir_ / L"sub\\d.txt"), testsupport::LocalToUtc(first)))
        << "sub-folders were not asked for";

    const SYSTEMTIME second = testsupport::MakeLocalTime(2011, 12, 13, 14, 15, 16);
    SetAllPickers(second);
    ASSERT_TRUE(run.Click(IDOK));
    ASSERT_TRUE(run.WaitClosed(20000)) << "OK closes the dialog when its job ends";
    EXPECT_EQ(run.Result(), 0);
    for (const wchar_t *name : {L"a.txt", L"b.txt", L"c.log"})
        EXPECT_TRUE(testsupport::SameTime(Written(dir_ / name), testsupport::LocalToUtc(second)))
            << "not stamped by OK";
}

TEST_F(MainDialogRequests, StopDuringAPassEmptiesTheStatusLine) {
    MakeManyFiles(600);
    MainDialogRun &run = Start();
    SetAllPickers(testsupport::MakeLocalTime(2003, 3, 3, 3, 3, 3));
    run.MarkStatus();
    ASSERT_TRUE(run.Click(IDC_APPLY));
    ASSERT_TRUE(testsupport::PumpUntil(
        [] { return jobPhase == PhaseApplying && processedFiles >= 5; }, 20000));
    EXPECT_EQ(run.Text(IDC_COUNT), LoadText(IDS_STOP));
    ASSERT_TRUE(run.Click(IDC_COUNT)) << "Stop is enabled while a pass runs";
    ASSERT_TRUE(run.WaitForJobEnd());
    EXPECT_EQ(run.Text(IDC_STATUS), L"");
    EXPECT_LT(processedFiles, 600u) << "the pass was not stopped";
    EXPECT_EQ(jobContext.flatCounts.files, 600u) << "a stopped apply keeps the counts";
    EXPECT_EQ(run.Text(IDC_COUNT), LoadText(IDS_COUNT));
    EXPECT_TRUE(run.Enabled(IDC_APPLY));
    EXPECT_FALSE(run.WaitClosed(300));
}

TEST_F(MainDialogRequests, PickerChangedDuringAPassReachesTheLaterItems) {
    MakeManyFiles(600);
    MainDialogRun &run = Start();
    const SYSTEMTIME before = testsupport::MakeLocalTime(2002, 2, 2, 2, 2, 2);
    SetAllPickers(before);
    run.MarkStatus();
    ASSERT_TRUE(run.Click(IDC_APPLY));
    ASSERT_TRUE(testsupport::PumpUntil(
        [] { return jobPhase == PhaseApplying && processedFiles >= 20; }, 20000));
    run.StepPicker(IDC_PICK_MODIFIED);
    const SYSTEMTIME after = uitest::PickerTime(run.Item(IDC_PICK_MODIFIED));
    const unsigned changedAt = processedFiles;
    ASSERT_FALSE(uitest::SameDateTime(before, after));
    ASSERT_TRUE(run.WaitForJobEnd(30000));
    ASSERT_LT(changedAt, 600u) << "the pass ended before the change";
    int old = 0, fresh = 0;
    for (int i = 0; i < 600; ++i) {
        const FILETIME written = Written(dir_ / (L"file" + std::to_wstring(i) + L".dat"));
        if (testsupport::SameTime(written, testsupport::LocalToUtc(before)))
            ++old;
        else if (testsupport::SameTime(written, testsupport::LocalToUtc(after)))
            ++fresh;
    }
    EXPECT_EQ(old + fresh, 600);
    EXPECT_GE(old, 20);
    EXPECT_GE(fresh, 1) << "items stamped after the change got the old value";
}

TEST_F(MainDialogRequests, CancelDuringAPassClosesAtOnceAndTheWalkEndsWithIt) {
    MakeManyFiles(600);
    MainDialogRun &run = Start();
    SetAllPickers(testsupport::MakeLocalTime(2007, 7, 7, 7, 7, 7));
    ASSERT_TRUE(run.Click(IDC_APPLY));
    ASSERT_TRUE(testsupport::PumpUntil(
        [] { return jobPhase == PhaseApplying && processedFiles >= 5; }, 20000));
    PostMessageW(run.Item(IDCANCEL), BM_CLICK, 0, 0);
    ASSERT_TRUE(run.WaitClosed(5000)) << "Cancel must not wait for the pass";
    EXPECT_EQ(run.Result(), 0);
    // Nothing is stamped once the dialog is gone.
    const unsigned after = processedFiles;
    Sleep(500);
    EXPECT_EQ(processedFiles, after);
    EXPECT_LT(after, 600u);
    EXPECT_EQ(taskbarList.load(), nullptr);
}

TEST_F(MainDialogRequests, TaskbarButtonObjectIsMadeOnceAndReleasedOnClose) {
    MainDialogRun &run = Start();
    const UINT created = RegisterWindowMessageW(L"TaskbarButtonCreated");
    SendMessageW(run.Window(), created, 0, 0);
    ITaskbarList3 *first = taskbarList;
    ASSERT_NE(first, nullptr) << "no taskbar object";
    SendMessageW(run.Window(), created, 0, 0);
    EXPECT_EQ(taskbarList.load(), first) << "made again for a second announcement";
    EXPECT_TRUE(run.Click(IDCANCEL));
    ASSERT_TRUE(run.WaitClosed(5000));
    EXPECT_EQ(taskbarList.load(), nullptr);
}

TEST_F(MainDialogRequests, OkDuringAPassReplacesItAndEveryItemGetsTheNewValue) {
    MakeManyFiles(300);
    MainDialogRun &run = Start();
    SetAllPickers(testsupport::MakeLocalTime(2008, 8, 8, 8, 8, 8));
    ASSERT_TRUE(run.Click(IDC_APPLY));
    ASSERT_TRUE(testsupport::PumpUntil(
        [] { return jobPhase == PhaseApplying && processedFiles >= 5; }, 20000));
    // A picker change enables OK again while the pass runs.
    run.StepPicker(IDC_PICK_MODIFIED);
    const SYSTEMTIME chosen = uitest::PickerTime(run.Item(IDC_PICK_MODIFIED));
    ASSERT_TRUE(run.Click(IDOK));
    ASSERT_TRUE(run.WaitClosed(30000)) << "OK closes the dialog when its own job ends";
    for (int i = 0; i < 300; ++i) {
        const std::wstring name = L"file" + std::to_wstring(i) + L".dat";
        ASSERT_TRUE(testsupport::SameTime(Written(dir_ / name), testsupport::LocalToUtc(chosen)))
            << "item " << i << " missed the new value";
    }
}

TEST_F(MainDialogRequests, ASecondRequestDuringAnOkPassRunsToItsOwnEnd) {
    MakeManyFiles(12);
    const SYSTEMTIME first = testsupport::MakeLocalTime(2001, 1, 2, 3, 4, 5);
    struct Case {
        int second;  // the button pressed while OK's pass is in file3.dat
        bool closes; // the dialog closes when the job ends
        bool allNew; // every item ends with the second request's time
    } cases[] = {{IDOK, true, true}, {IDC_APPLY, false, true}, {IDC_COUNT, true, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.second);
        MainDialogRun &run = Start();
        SetAllPickers(first);
        SlowItem slow(L"file3.dat", 1000);
        ASSERT_TRUE(run.Click(IDOK));
        ASSERT_TRUE(testsupport::PumpUntil([] { return SlowItem::Inside(); }, 20000));
        if (c.second != IDC_COUNT)
            run.StepPicker(IDC_PICK_MODIFIED); // enables OK and Apply again
        const SYSTEMTIME chosen = uitest::PickerTime(run.Item(IDC_PICK_MODIFIED));
        ASSERT_TRUE(run.Click(c.second));
        if (c.closes) {
            ASSERT_TRUE(run.WaitClosed(30000)) << "an OK job closes the dialog when it ends";
            EXPECT_EQ(run.Result(), 0);
        } else {
            ASSERT_TRUE(run.WaitForJobEnd(30000));
            EXPECT_FALSE(run.WaitClosed(500)) << "an OK job ended by a new request closed it";
        }
        for (int i = 0; c.allNew && i < 12; ++i) {
            const std::wstring name = L"file" + std::to_wstring(i) + L".dat";
            EXPECT_TRUE(
                testsupport::SameTime(Written(dir_ / name), testsupport::LocalToUtc(chosen)))
                << "item " << i << " missed the last request's time";
        }
        run_.reset();
    }
}

LRESULT CALLBACK CountPaints(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR data) {
    if (message == WM_PAINT)
        ++*reinterpret_cast<std::atomic<int> *>(data);
    return DefSubclassProc(window, message, wParam, lParam);
}

TEST_F(MainDialogRequests, TheDialogKeepsPaintingWhileARequestWaitsForASlowItem) {
    MakeManyFiles(6);
    MainDialogRun &run = Start();
    std::atomic<int> paints{0};
    const HWND dialog = run.Window();
    run.RunOnDialogThread(
        [&] { SetWindowSubclass(dialog, CountPaints, 1, reinterpret_cast<DWORD_PTR>(&paints)); });
    SlowItem slow(L"file2.dat", 4000);
    ASSERT_TRUE(run.Click(IDC_APPLY));
    ASSERT_TRUE(testsupport::PumpUntil([] { return SlowItem::Inside(); }, 20000));
    run.StepPicker(IDC_PICK_MODIFIED);
    ASSERT_TRUE(run.Enabled(IDC_APPLY));
    // The second Apply waits on the dialog's thread for the item under way.
    PostMessageW(run.Item(IDC_APPLY), BM_CLICK, 0, 0);
    Sleep(300);
    paints = 0;
    InvalidateRect(dialog, nullptr, TRUE);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return paints > 0; }, 2000)) << "no WM_PAINT";
    EXPECT_TRUE(SlowItem::Inside()) << "the wait had ended before the paint was looked at";
    ASSERT_TRUE(run.WaitForJobEnd(30000));
    run.RunOnDialogThread([&] { RemoveWindowSubclass(dialog, CountPaints, 1); });
}

TEST_F(MainDialogRequests, CancelWhileThePassWaitsInItsPromptKeepsTheReadOnlyBit) {
    const std::wstring held = dir_ / L"held.txt";
    WriteTextFile(held);
    ASSERT_TRUE(SetFileAttributesW(held.c_str(), FILE_ATTRIBUTE_READONLY));
    MainDialogRun &run = Start();
    // Stamping fails and the pass waits in its prompt.
    testsupport::RefuseStamping refuse({L"held.txt"});
    ASSERT_TRUE(run.Click(IDC_APPLY));
    ASSERT_TRUE(testsupport::PumpUntil(
        [] {
            const DWORD walker = walkThreadId;
            return walker != 0 && uitest::FindThreadDialog(walker, nullptr, 0) != nullptr;
        },
        15000))
        << "no prompt";
    PostMessageW(run.Item(IDCANCEL), BM_CLICK, 0, 0);
    ASSERT_TRUE(run.WaitClosed(10000));
    EXPECT_EQ(run.Result(), 0);
    EXPECT_EQ(GetFileAttributesW(held.c_str()) & FILE_ATTRIBUTE_READONLY,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

TEST_F(MainDialogRequests, UndoOfTheSystemMenuPutsTheLastApplyBack) {
    MakeManyFiles(4);
    MainDialogRun &run = Start();
    const HMENU menu = GetSystemMenu(run.Window(), FALSE);
    const auto enabled = [&] { return !(GetMenuState(menu, IDM_UNDO, MF_BYCOMMAND) & MF_GRAYED); };
    EXPECT_FALSE(enabled()) << "nothing to undo yet";
    const SYSTEMTIME first = testsupport::MakeLocalTime(2005, 5, 5, 5, 5, 5);
    SetAllPickers(first);
    run.MarkStatus();
    ASSERT_TRUE(run.Click(IDC_APPLY));
    ASSERT_TRUE(run.WaitForJobEnd());
    EXPECT_TRUE(enabled());
    // A second apply has its own record: undo goes back to the first one's times.
    SetAllPickers(testsupport::MakeLocalTime(2006, 6, 6, 6, 6, 6));
    {
        SlowItem slow(L"file1.dat", 1500);
        run.MarkStatus();
        ASSERT_TRUE(run.Click(IDC_APPLY));
        ASSERT_TRUE(testsupport::PumpUntil([] { return SlowItem::Inside(); }, 20000));
        EXPECT_FALSE(enabled()) << "a pass runs";
        ASSERT_TRUE(run.WaitForJobEnd());
    }
    for (int answer : {IDNO, IDYES}) {
        const FILETIME shown = Written(dir_ / L"file0.dat");
        PostMessageW(run.Window(), WM_SYSCOMMAND, IDM_UNDO, 0);
        HWND question = uitest::FindThreadDialog(run.ThreadId(), run.Window(), 10000);
        ASSERT_NE(question, nullptr) << "no question";
        Sleep(100);
        run.MarkStatus();
        PostMessageW(question, WM_COMMAND, answer, 0);
        if (answer == IDYES) {
            ASSERT_TRUE(run.WaitForJobEnd());
            break;
        }
        ASSERT_TRUE(testsupport::PumpUntil([&] { return !IsWindow(question); }, 10000));
        Sleep(300);
        EXPECT_TRUE(run.StatusMarked()) << "no pass may run after no";
        EXPECT_TRUE(testsupport::SameTime(shown, Written(dir_ / L"file0.dat")));
        EXPECT_TRUE(enabled());
    }
    EXPECT_TRUE(enabled()) << "the apply before is next";
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(testsupport::SameTime(Written(dir_ / (L"file" + std::to_wstring(i) + L".dat")),
                                          testsupport::LocalToUtc(first)))
            << "item " << i << " not put back";
}

namespace {

HWND applyingDialog = nullptr;
std::atomic<bool> applyRaced{false};
void ApplyBeforeTheClose() {
    SendMessageW(applyingDialog, WM_COMMAND, IDC_APPLY, 0);
    applyRaced = true;
}

} // namespace

TEST_F(MainDialogRequests, AnApplyMadeAfterOksJobEndedKeepsTheDialogOpen) {
    MakeManyFiles(3);
    MainDialogRun &run = Start();
    applyingDialog = run.Window();
    applyRaced = false;
    // The Apply comes in the moment between the end of OK's job and its close.
    beforeCloseRequest = ApplyBeforeTheClose;
    ASSERT_TRUE(run.Click(IDOK));
    ASSERT_TRUE(testsupport::PumpUntil([] { return applyRaced.load(); }, 20000));
    beforeCloseRequest = nullptr;
    ASSERT_TRUE(testsupport::PumpUntil([] { return !ControllerRunning() && jobPhase == PhaseIdle; },
                                       20000));
    EXPECT_FALSE(run.WaitClosed(500)) << "the close of the older job came through";
    EXPECT_TRUE(run.Enabled(IDC_APPLY)) << "the newer job did not end";
}

TEST_F(MainDialogRequests, AFilterSetWhileARequestIsOnItsWayWaitsForItsEnd) {
    MakeManyFiles(3);
    MainDialogRun &run = Start();
    const SYSTEMTIME time = testsupport::MakeLocalTime(2004, 4, 4, 4, 4, 4);
    SetAllPickers(time);
    run.SetFilter(L"*.dat"); // uncounted: the apply counts first
    {
        SlowItem slow(L"file0.dat", 1500);
        run.MarkStatus();
        ASSERT_TRUE(run.Click(IDC_APPLY));
        ASSERT_TRUE(testsupport::PumpUntil([] { return SlowItem::Inside(); }, 20000));
        ASSERT_EQ(PhaseCounting, jobPhase.load());
        run.SetFilter(L"*.nomatch");
        ASSERT_TRUE(run.WaitForJobEnd());
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(testsupport::SameTime(Written(dir_ / (L"file" + std::to_wstring(i) + L".dat")),
                                          testsupport::LocalToUtc(time)))
            << "item " << i << " not stamped by the request made for it";
    EXPECT_STREQ(L"*.nomatch", jobContext.pattern) << "the edit was not taken after the job";
}

TEST_F(MainDialogRequests, AFilterThatCoversNothingClearsTheCountsShown) {
    MakeTree();
    MainDialogRun &run = Start();
    for (const std::wstring &filter :
         {std::wstring(L"."), std::wstring(L".."), std::wstring(PatternCapacity + 10, L'x')}) {
        run.SetFilter(L"*.txt");
        run.MarkStatus();
        ASSERT_TRUE(run.Click(IDC_COUNT));
        ASSERT_TRUE(run.WaitForJobEnd());
        ASSERT_EQ(L"Plików: 2", run.Text(IDC_STATUS));
        run.SetFilter(filter);
        EXPECT_EQ(L"Plików: 0", run.Text(IDC_STATUS)) << filter.size();
    }
}

namespace {

// What the status line says at the moment the Count button gets its idle caption back.
std::wstring statusWhenIdle;
LRESULT CALLBACK WatchCountCaption(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR) {
    if (message == WM_SETTEXT && lParam &&
        LoadText(IDS_COUNT) == std::wstring(reinterpret_cast<const wchar_t *>(lParam)))
        statusWhenIdle = testsupport::WindowText(GetDlgItem(GetParent(button), IDC_STATUS));
    return DefSubclassProc(button, message, wParam, lParam);
}

} // namespace

TEST_F(MainDialogRequests, TheEndStatusIsWrittenBeforeTheCountButtonIsIdleAgain) {
    MakeTree();
    MainDialogRun &run = Start();
    run.RunOnDialogThread([&] { SetWindowSubclass(run.Item(IDC_COUNT), WatchCountCaption, 1, 0); });
    statusWhenIdle.clear();
    run.MarkStatus();
    ASSERT_TRUE(run.Click(IDC_COUNT));
    ASSERT_TRUE(run.WaitForJobEnd());
    run.RunOnDialogThread([&] { RemoveWindowSubclass(run.Item(IDC_COUNT), WatchCountCaption, 1); });
    EXPECT_EQ(run.Text(IDC_STATUS), statusWhenIdle);
}

TEST_F(MainDialogRequests, PickersLeftAsLoadedWriteTheTargetsExactTimes) {
    // A time with 100 ns in it, and one in the autumn hour that Warsaw has twice.
    const uint64_t tick = 1234567;
    struct Case {
        FILETIME written;
    } cases[] = {{testsupport::MakeFileTime(2021, 3, 4, 5, 6, 7)},
                 {testsupport::MakeFileTime(2023, 10, 29, 1, 30, 0)}};
    for (Case &c : cases) {
        ULARGE_INTEGER value = {{c.written.dwLowDateTime, c.written.dwHighDateTime}};
        value.QuadPart += tick;
        c.written = {value.LowPart, value.HighPart};
        const std::wstring file = dir_ / L"exact.txt";
        WriteTextFile(file);
        ASSERT_TRUE(testsupport::WriteTimes(file, nullptr, &c.written, &c.written));
        MainDialogRun run(file);
        ASSERT_TRUE(testsupport::PumpUntil(
            [&] { return !run.Text(IDC_STATUS).empty() && jobPhase == PhaseIdle; }, 20000));
        run.MarkStatus();
        ASSERT_TRUE(run.Click(IDC_APPLY));
        ASSERT_TRUE(run.WaitForJobEnd());
        testsupport::ItemTimes now = {};
        ASSERT_TRUE(testsupport::ReadTimes(file, &now));
        EXPECT_TRUE(testsupport::SameTime(c.written, now.written));
        EXPECT_TRUE(testsupport::SameTime(c.written, now.accessed));
    }
}
