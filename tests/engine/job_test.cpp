// The job controller on the real main dialog: passes, stops, replacement, closing after OK.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "app/job_context.h"
#include "app/text.h"
#include "common/test_support.h"
#include "engine/engine_test_support.h"
#include "ui/job_controller.h"
#include "engine/walk.h"
#include "res/resource.h"

using namespace testsupport;
using namespace enginetest;

namespace {

const SYSTEMTIME newLocal = MakeLocalTime(2006, 5, 4, 3, 2, 1);
const FILETIME oldTime = MakeFileTime(1997, 8, 9, 10, 11, 12);

// Records every change of the OK button's enabled state, as the dialog thread sees it.
LRESULT CALLBACK RecordEnable(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR data) {
    if (message == WM_ENABLE)
        reinterpret_cast<std::vector<bool> *>(data)->push_back(wParam != 0);
    return DefSubclassProc(window, message, wParam, lParam);
}

// Calls a function when the Count button gets the given caption.
struct CaptionWatch {
    std::wstring caption;
    std::function<void()> action;
};
LRESULT CALLBACK WatchCaption(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR data) {
    auto *watch = reinterpret_cast<CaptionWatch *>(data);
    if (message == WM_SETTEXT && watch->action &&
        watch->caption == reinterpret_cast<const wchar_t *>(lParam)) {
        auto action = std::move(watch->action);
        watch->action = nullptr;
        action();
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

class JobControllerTest : public ::testing::Test, protected OldItemsFolder {
  protected:
    JobControllerTest() : OldItemsFolder(oldTime, newLocal) {}
    void SetUp() override {
        ResetJob();
        jobContext.dialog = dialog.Window();
        SetTimes(nullptr, &newLocal, nullptr);
        SetWindowSubclass(dialog.Item(IDOK), RecordEnable, 1,
                          reinterpret_cast<DWORD_PTR>(&okEnabled));
    }
    void TearDown() override {
        EndJobAndWait();
        RemoveWindowSubclass(dialog.Item(IDOK), RecordEnable, 1);
        ResetJob();
    }
    // What the dialog's Count/Stop button does.
    void PressCountStop() {
        if (jobPhase & 1) {
            jobPhase = PhaseStopped;
        } else {
            jobContext.applyMode = 0;
            jobContext.ClearCounts();
        }
        StartJobThread();
    }
    void RequestApply() {
        jobContext.applyMode = 1;
        StartJobThread();
    }
    void ExpectIdleAndUnlocked() {
        EXPECT_EQ(PhaseIdle, jobPhase.load());
        EXPECT_EQ(0, jobContext.applyMode.load());
        EXPECT_EQ(L"Przelicz pliki", dialog.Text(IDC_COUNT));
        EXPECT_TRUE(IsWindowEnabled(dialog.Item(IDC_COUNT)));
        EXPECT_TRUE(IsWindowEnabled(dialog.Item(IDOK)));
        EXPECT_TRUE(IsWindowEnabled(dialog.Item(IDC_APPLY)));
        EXPECT_TRUE(IsWindowEnabled(dialog.Item(IDC_SUBFOLDERS)));
        EXPECT_TRUE(IsWindowVisible(dialog.Item(IDC_BROWSE)));
        EXPECT_FALSE(GetWindowLongW(dialog.Item(IDC_FILTER), GWL_STYLE) & ES_READONLY);
        EXPECT_EQ(dir.Path(), std::wstring(jobContext.pickedPath));
        EXPECT_EQ(nullptr, walkThread.load());
    }
    TestDialog dialog;
    std::vector<bool> okEnabled;
};

TEST_F(JobControllerTest, ApplyOnAnUncountedModeCountsFirst) {
    MakeOld(L"a.txt");
    MakeOld(L"b\\c.txt");
    SetTarget(dir.Path(), L"*.*");
    jobContext.includeSubfolders = 1;
    RequestApply();
    ASSERT_TRUE(WaitForControllers());
    EXPECT_EQ(2u, jobContext.deepCounts.files.load());
    EXPECT_EQ(1u, jobContext.deepCounts.folders.load());
    EXPECT_EQ(2u, jobContext.deepTotal.load()); // files only: folders are not stamped
    EXPECT_TRUE(Stamped(L"a.txt"));
    EXPECT_TRUE(Stamped(L"b\\c.txt"));
    // One job: locked from the count to the end of the apply pass, never open in between.
    EXPECT_EQ((std::vector<bool>{false, true}), okEnabled);
    EXPECT_EQ(2u, processedFiles.load());
    EXPECT_EQ(L"Plików: 2", dialog.Text(IDC_STATUS));
    ExpectIdleAndUnlocked();
}

TEST_F(JobControllerTest, ApplyWithKnownCountsRunsOnePass) {
    MakeOld(L"a.txt");
    MakeOld(L"sub\\x.txt");
    SetTarget(dir.Path(), L"*.txt");
    jobContext.flatCounts.files = 1;
    jobContext.flatCounts.folders = 1;
    jobContext.applyToFolders = 1;
    processedFiles = 50;
    RequestApply();
    ASSERT_TRUE(WaitForControllers());
    EXPECT_EQ((std::vector<bool>{false, true}), okEnabled);
    EXPECT_EQ(1u, processedFiles.load());
    EXPECT_EQ(1u, processedFolders.load());
    EXPECT_EQ(2u, jobContext.flatTotal.load());
    EXPECT_TRUE(Stamped(L"a.txt"));
    EXPECT_TRUE(Stamped(L"sub"));
    EXPECT_TRUE(Untouched(L"sub\\x.txt"));
    EXPECT_EQ(L"Plików: 1, folderów: 1", dialog.Text(IDC_STATUS));
    ExpectIdleAndUnlocked();
}

TEST_F(JobControllerTest, CountLocksTheControlsAndTicksTheStatusLine) {
    MakeOld(L"a.txt");
    SetTarget(dir.Path(), L"*.*");
    std::wstring captionDuringPass;
    bool browseHidden = false, filterReadOnly = false;
    CaptionWatch watch{L"Przerwij", [&] {
                           // The caption is the last thing the lock sets.
                           filterReadOnly =
                               GetWindowLongW(dialog.Item(IDC_FILTER), GWL_STYLE) & ES_READONLY;
                           browseHidden = !IsWindowVisible(dialog.Item(IDC_BROWSE));
                           captionDuringPass = L"Przerwij";
                       }};
    SetWindowSubclass(dialog.Item(IDC_COUNT), WatchCaption, 2, reinterpret_cast<DWORD_PTR>(&watch));
    PressCountStop();
    ASSERT_TRUE(WaitForControllers());
    RemoveWindowSubclass(dialog.Item(IDC_COUNT), WatchCaption, 2);
    EXPECT_EQ(L"Przerwij", captionDuringPass);
    EXPECT_TRUE(browseHidden);
    EXPECT_TRUE(filterReadOnly);
    EXPECT_EQ(1u, jobContext.flatCounts.files.load());
    EXPECT_EQ(L"Plików: 1", dialog.Text(IDC_STATUS));
    ExpectIdleAndUnlocked();
}

TEST_F(JobControllerTest, StopDuringACountClearsTheCounts) {
    // Enough folders that counting them takes longer than one progress tick.
    for (int i = 0; i < 12; ++i)
        for (int j = 0; j < 12; ++j)
            for (int k = 0; k < 12; ++k)
                MakeFolder(dir.Path() + L"\\f" + std::to_wstring(i) + L"\\g" + std::to_wstring(j) +
                           L"\\h" + std::to_wstring(k));
    SetTarget(dir.Path(), L"*.*");
    jobContext.includeSubfolders = 1;
    bool stoppedWhileCounting = false;
    dialog.onTick = [&] {
        if (jobPhase == PhaseCounting) {
            stoppedWhileCounting = true;
            PressCountStop();
        }
    };
    PressCountStop();
    ASSERT_TRUE(WaitForControllers());
    dialog.onTick = nullptr;
    ASSERT_TRUE(stoppedWhileCounting) << "the count ended before the first tick";
    EXPECT_EQ(0u, jobContext.deepCounts.files.load());
    EXPECT_EQ(0u, jobContext.deepCounts.folders.load());
    EXPECT_EQ(L"", dialog.Text(IDC_STATUS));
    ExpectIdleAndUnlocked();
}

TEST_F(JobControllerTest, StopWhileThePromptIsOpenClosesItAndEndsTheApply) {
    MakeOld(L"t1.txt");
    MakeOld(L"t2.txt");
    MakeOld(L"m\\held.txt");
    MakeOld(L"m\\n\\later.txt");
    ASSERT_TRUE(SetFileAttributesW((dir / L"m\\held.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW((dir / L"m\\n\\later.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    const DWORD heldAttributes = GetFileAttributesW((dir / L"m\\held.txt").c_str());
    const DWORD laterAttributes = GetFileAttributesW((dir / L"m\\n\\later.txt").c_str());
    RefuseStamping refuse({L"m\\held.txt"});
    SetTarget(dir.Path(), L"*.txt");
    jobContext.includeSubfolders = 1;
    jobContext.deepCounts.files = 4;
    jobContext.deepCounts.folders = 2;
    RequestApply();
    HWND prompt = nullptr;
    ASSERT_TRUE(
        PumpUntil([&] { return (prompt = FindPrompt(Text(IDS_PRODUCT))) != nullptr; }, 10000));
    EXPECT_EQ(PhaseApplying, jobPhase.load());
    PressCountStop();
    ASSERT_TRUE(WaitForControllers());
    EXPECT_FALSE(IsWindow(prompt) && IsWindowVisible(prompt));
    EXPECT_TRUE(Stamped(L"t1.txt"));
    EXPECT_TRUE(Stamped(L"t2.txt"));
    EXPECT_TRUE(Untouched(L"m\\held.txt"));
    EXPECT_TRUE(Untouched(L"m\\n\\later.txt"));
    EXPECT_EQ(heldAttributes, GetFileAttributesW((dir / L"m\\held.txt").c_str()));
    EXPECT_EQ(laterAttributes, GetFileAttributesW((dir / L"m\\n\\later.txt").c_str()));
    // An apply pass leaves the counts of the mode as they were.
    EXPECT_EQ(4u, jobContext.deepCounts.files.load());
    EXPECT_EQ(L"", dialog.Text(IDC_STATUS));
    ExpectIdleAndUnlocked();
    SetFileAttributesW((dir / L"m\\held.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW((dir / L"m\\n\\later.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Stop pressed while the count that comes before an apply is at its last item.
void PressStopWhileCounting(const wchar_t *) {
    if (jobPhase == PhaseCounting) {
        jobPhase = PhaseStopped;
        StartJobThread();
    }
}

TEST_F(JobControllerTest, StopAsTheCountBeforeAnApplyEndsSkipsTheApply) {
    MakeOld(L"a.txt");
    SetTarget(dir.Path(), L"*.*");
    beforeWalkItem = PressStopWhileCounting;
    RequestApply();
    const bool ended = WaitForControllers();
    beforeWalkItem = nullptr;
    ASSERT_TRUE(ended);
    EXPECT_TRUE(Untouched(L"a.txt"));
    EXPECT_EQ(0u, jobContext.flatCounts.files.load());
    EXPECT_EQ((std::vector<bool>{false, true}), okEnabled);
    EXPECT_EQ(L"", dialog.Text(IDC_STATUS));
    ExpectIdleAndUnlocked();
}

TEST_F(JobControllerTest, EndJobAndWaitStopsAJobWaitingInThePrompt) {
    MakeOld(L"held.txt");
    MakeOld(L"z\\later.txt");
    RefuseStamping refuse({L"held.txt"});
    SetTarget(dir.Path(), L"*.txt");
    jobContext.includeSubfolders = 1;
    RequestApply(); // uncounted: a count first, then the apply pass
    ASSERT_TRUE(PumpUntil([&] { return FindPrompt(Text(IDS_PRODUCT)) != nullptr; }, 10000));
    EndJobAndWait();
    EXPECT_FALSE(ControllerRunning());
    EXPECT_EQ(nullptr, FindPrompt(Text(IDS_PRODUCT)));
    EXPECT_TRUE(Untouched(L"z\\later.txt"));
    ExpectIdleAndUnlocked();
    EndJobAndWait(); // idle: returns at once
}

TEST_F(JobControllerTest, NewerRequestReplacesARunningApply) {
    MakeOld(L"held.txt");
    MakeOld(L"z\\later.txt");
    RefuseStamping refuse({L"held.txt"});
    SetTarget(dir.Path(), L"*.txt");
    jobContext.includeSubfolders = 1;
    jobContext.deepCounts.files = 2;
    jobContext.deepCounts.folders = 1;
    RequestApply();
    HWND prompt = nullptr;
    ASSERT_TRUE(
        PumpUntil([&] { return (prompt = FindPrompt(Text(IDS_PRODUCT))) != nullptr; }, 10000));
    // A recount while the apply waits in its prompt, as the recount timer would start it.
    jobContext.applyMode = 0;
    jobContext.ClearCounts();
    StartJobThread();
    ASSERT_TRUE(WaitForControllers());
    EXPECT_FALSE(IsWindow(prompt) && IsWindowVisible(prompt));
    EXPECT_TRUE(Untouched(L"z\\later.txt"));
    // The replaced job never unlocked the controls under the new one.
    EXPECT_EQ((std::vector<bool>{false, true}), okEnabled);
    EXPECT_EQ(2u, jobContext.deepCounts.files.load());
    EXPECT_EQ(1u, jobContext.deepCounts.folders.load());
    EXPECT_EQ(L"Plików: 2", dialog.Text(IDC_STATUS));
    ExpectIdleAndUnlocked();
}

TEST_F(JobControllerTest, CloseWhenDoneSendsCancelAfterANormalJob) {
    MakeOld(L"a.txt");
    SetTarget(dir.Path(), L"*.*");
    closeWhenDone = 1;
    RequestApply();
    ASSERT_TRUE(WaitForControllers());
    EXPECT_TRUE(Stamped(L"a.txt"));
    // The closing command is the controller's very last step.
    EXPECT_TRUE(PumpUntil([&] { return dialog.CancelCount() == 1; }, 5000));
}

TEST_F(JobControllerTest, CloseWhenDoneSendsCancelAfterAStoppedJob) {
    MakeOld(L"held.txt");
    RefuseStamping refuse({L"held.txt"});
    SetTarget(dir.Path(), L"*.*");
    closeWhenDone = 1;
    // The user chooses to stop in the prompt.
    PromptAnswerer answerer(Text(IDS_PRODUCT), IDCANCEL);
    RequestApply();
    ASSERT_TRUE(WaitForControllers());
    answerer.Seen();
    EXPECT_EQ(1u, answerer.Seen().size());
    EXPECT_EQ(L"", dialog.Text(IDC_STATUS));
    EXPECT_TRUE(PumpUntil([&] { return dialog.CancelCount() == 1; }, 5000));
    EXPECT_EQ(PhaseIdle, jobPhase.load());
}

TEST_F(JobControllerTest, StopWithNothingRunningLeavesThePhaseIdle) {
    SetTarget(dir.Path(), L"*.*");
    jobPhase = PhaseStopped; // a stop that came just after its job had ended
    StartJobThread();
    ASSERT_TRUE(WaitForControllers());
    EXPECT_EQ(PhaseIdle, jobPhase.load());
    EXPECT_TRUE(okEnabled.empty()); // no job ran
}

} // namespace

namespace {

// Under Windows XP the prompt is a message box owned by the dialog; a stop closes it too.
class JobControllerWinXpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetJob();
        jobContext.dialog = dialog.Window();
        const SYSTEMTIME local = MakeLocalTime(2006, 5, 4, 3, 2, 1);
        SetTimes(nullptr, &local, nullptr);
    }
    void TearDown() override {
        EndJobAndWait();
        ResetJob();
    }
    TempDir dir;
    TestDialog dialog;
};

TEST_F(JobControllerWinXpTest, EndJobAndWaitClosesTheMessageBox) {
    WriteTextFile(dir / L"held.txt");
    WriteTextFile(dir / L"z\\later.txt");
    const FILETIME old = MakeFileTime(1990, 1, 1, 0, 0, 0);
    WriteTimes(dir / L"z\\later.txt", &old, &old, &old);
    RefuseStamping refuse({L"held.txt"});
    SetTarget(dir.Path(), L"*.txt");
    jobContext.includeSubfolders = 1;
    jobContext.deepCounts.files = 2;
    jobContext.deepCounts.folders = 1;
    jobContext.applyMode = 1;
    StartJobThread();
    const std::wstring title = Text(IDS_ERROR_TITLE);
    HWND box = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (box = FindPrompt(title)) != nullptr; }, 10000));
    EXPECT_EQ(dialog.Window(), GetWindow(box, GW_OWNER));
    EndJobAndWait();
    EXPECT_FALSE(IsWindow(box) && IsWindowVisible(box));
    ItemTimes times;
    ASSERT_TRUE(ReadTimes(dir / L"z\\later.txt", &times));
    EXPECT_TRUE(SameTime(old, times.written));
    EXPECT_EQ(PhaseIdle, jobPhase.load());
    EXPECT_EQ(L"", dialog.Text(IDC_STATUS));
}

} // namespace
