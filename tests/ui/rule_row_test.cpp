// The rule row of the real dialog: Ctrl under a shift moves the other checked pickers by the
// change, and the preview window lists exactly what its Apply then does.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <vector>

#include "app/job_context.h"
#include "common/test_support.h"
#include "engine/preview.h"
#include "engine/time_rule.h"
#include "res/resource.h"
#include "ui/job_controller.h"
#include "ui/dialog_harness.h"

using namespace testsupport;
using uitest::MainDialogRun;
using uitest::PickerTime;

namespace {

// The elapsed time between two local times, each by its own date's rules.
int64_t LocalDifference(const SYSTEMTIME &from, const SYSTEMTIME &to) {
    const FILETIME a = testsupport::LocalToUtc(from), b = testsupport::LocalToUtc(to);
    return static_cast<int64_t>(((uint64_t{b.dwHighDateTime} << 32) | b.dwLowDateTime) -
                                ((uint64_t{a.dwHighDateTime} << 32) | a.dwLowDateTime));
}

class RuleRow : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const wchar_t *name : {L"a.txt", L"b.txt", L"c.txt"}) {
            WriteTextFile(dir / name);
            const FILETIME written = MakeFileTime(2022, 3, 4, 5, 6, 7);
            const FILETIME accessed = MakeFileTime(2021, 1, 2, 3, 4, 5);
            ASSERT_TRUE(WriteTimes(dir / name, nullptr, &accessed, &written));
        }
        run = std::make_unique<MainDialogRun>(dir.Path());
        ASSERT_NE(nullptr, run->Window());
        ASSERT_TRUE(
            PumpUntil([&] { return !run->Text(IDC_STATUS).empty() && jobPhase == 0; }, 20000));
    }
    void ChooseRule(int rule) {
        SendMessageW(run->Item(IDC_RULE), CB_SETCURSEL, rule, 0);
        SendMessageW(run->Window(), WM_COMMAND, MAKEWPARAM(IDC_RULE, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(run->Item(IDC_RULE)));
    }
    TempDir dir;
    std::unique_ptr<MainDialogRun> run;
};

TEST_F(RuleRow, UnderAShiftCtrlMovesTheOtherCheckedPickersByTheChangeNotToTheSameValue) {
    ChooseRule(RuleShift);
    const int ids[3] = {IDC_PICK_CREATED, IDC_PICK_MODIFIED, IDC_PICK_ACCESSED};
    uitest::SetPickerTime(run->Item(IDC_PICK_CREATED), MakeLocalTime(2024, 1, 10, 10, 0, 0));
    uitest::SetPickerTime(run->Item(IDC_PICK_ACCESSED), MakeLocalTime(2024, 7, 20, 20, 0, 0));
    run->StepPicker(IDC_PICK_MODIFIED); // a plain change: the dialog reads all three
    SYSTEMTIME before[3];
    for (int i = 0; i < 3; ++i)
        before[i] = PickerTime(run->Item(ids[i]));
    run->SetControlHeld(true);
    run->StepPicker(IDC_PICK_MODIFIED);
    run->SetControlHeld(false);
    const int64_t moved = LocalDifference(before[1], PickerTime(run->Item(IDC_PICK_MODIFIED)));
    ASSERT_NE(0, moved);
    for (int i : {0, 2})
        EXPECT_EQ(moved, LocalDifference(before[i], PickerTime(run->Item(ids[i])))) << i;
    EXPECT_TRUE(IsWindowVisible(run->Item(IDC_SHIFT_MODIFIED)));
    ChooseRule(RuleSetDates);
    EXPECT_FALSE(IsWindowVisible(run->Item(IDC_SHIFT_MODIFIED))) << "shifts show for a shift only";
}

TEST_F(RuleRow, ThePreviewListsEveryItemAndItsApplyDoesExactlyThat) {
    uitest::ClickPickerBox(run->Item(IDC_PICK_CREATED)); // Wine keeps no creation time
    ChooseRule(RuleCopyModified);
    ASSERT_TRUE(run->Click(IDC_PREVIEW));
    const HWND preview = uitest::FindThreadDialog(run->ThreadId(), run->Window(), 20000);
    ASSERT_NE(nullptr, preview);
    const HWND list = GetDlgItem(preview, IDC_PREVIEW_LIST);
    EXPECT_EQ(3, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    ASSERT_EQ(3u, previewList.Size());
    std::vector<PreviewRow> rows;
    for (size_t i = 0; i < previewList.Size(); ++i)
        rows.push_back(previewList.Row(i));
    std::vector<std::wstring> paths;
    for (const PreviewRow &row : rows)
        paths.push_back(row.path);
    for (const wchar_t *name : {L"a.txt", L"b.txt", L"c.txt"}) {
        ItemTimes times;
        ASSERT_TRUE(ReadTimes(dir / name, &times));
        EXPECT_TRUE(SameTime(MakeFileTime(2021, 1, 2, 3, 4, 5), times.accessed))
            << "the preview changed nothing";
    }
    run->MarkStatus();
    PostMessageW(preview, WM_COMMAND, MAKEWPARAM(IDC_PREVIEW_APPLY, BN_CLICKED), 0);
    ASSERT_TRUE(run->WaitForJobEnd());
    EXPECT_FALSE(IsWindow(preview));
    for (size_t i = 0; i < rows.size(); ++i) {
        ItemTimes times;
        ASSERT_TRUE(ReadTimes(dir / paths[i], &times));
        EXPECT_TRUE(SameTime(rows[i].next[StampIndexAccessed], times.accessed)) << i;
        EXPECT_TRUE(SameTime(rows[i].next[StampIndexWritten], times.written)) << i;
        EXPECT_TRUE(SameTime(MakeFileTime(2022, 3, 4, 5, 6, 7), times.accessed));
    }
}

TEST_F(RuleRow, ThePreviewsApplyAppliesWhatItListsNotAFilterOrPickerChangedMeanwhile) {
    WriteTextFile(dir / L"d.log");
    uitest::ClickPickerBox(run->Item(IDC_PICK_CREATED));
    uitest::ClickPickerBox(run->Item(IDC_PICK_ACCESSED));
    const SYSTEMTIME previewed = MakeLocalTime(2019, 5, 6, 7, 8, 9);
    uitest::SetPickerTime(run->Item(IDC_PICK_MODIFIED), previewed);
    {
        testsupport::SlowItem slow(L"b.txt", 1500);
        ASSERT_TRUE(run->Click(IDC_PREVIEW));
        ASSERT_TRUE(PumpUntil([] { return testsupport::SlowItem::Inside(); }, 20000));
        run->SetFilter(L"*.txt");
        run->StepPicker(IDC_PICK_MODIFIED);
    }
    const HWND preview = uitest::FindThreadDialog(run->ThreadId(), run->Window(), 20000);
    ASSERT_NE(nullptr, preview);
    ASSERT_EQ(4u, previewList.Size()) << "the list covers *.*";
    run->MarkStatus();
    PostMessageW(preview, WM_COMMAND, MAKEWPARAM(IDC_PREVIEW_APPLY, BN_CLICKED), 0);
    ASSERT_TRUE(run->WaitForJobEnd());
    for (const wchar_t *name : {L"a.txt", L"d.log"}) {
        ItemTimes times;
        ASSERT_TRUE(ReadTimes(dir / name, &times));
        EXPECT_TRUE(SameTime(LocalToUtc(previewed), times.written)) << name;
    }
    EXPECT_TRUE(uitest::SameDateTime(previewed, PickerTime(run->Item(IDC_PICK_MODIFIED))));
    EXPECT_EQ(L"*.txt", run->Text(IDC_FILTER)) << "the edit stays for what comes next";
}

TEST_F(RuleRow, ChoosingTheSavedListAsksForItAtOnceAndWithoutOneTheRuleStays) {
    ChooseRule(RuleShift);
    SendMessageW(run->Item(IDC_RULE), CB_SETCURSEL, RuleSavedList, 0);
    PostMessageW(run->Window(), WM_COMMAND, MAKEWPARAM(IDC_RULE, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(run->Item(IDC_RULE)));
    const HWND open = uitest::FindThreadDialog(run->ThreadId(), run->Window(), 10000);
    ASSERT_NE(nullptr, open) << "no file dialog";
    PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(open); }, 10000));
    EXPECT_TRUE(PumpUntil([&] { return jobContext.timeRule == RuleShift; }, 2000));
    EXPECT_EQ(RuleShift, SendMessageW(run->Item(IDC_RULE), CB_GETCURSEL, 0, 0));
}

} // namespace
