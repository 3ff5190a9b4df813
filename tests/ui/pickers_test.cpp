// The three linked pickers of the real dialog: use flags that follow the boxes, and the Ctrl
// link that copies a user's change into the other checked pickers.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <memory>

#include "app/job_context.h"
#include "common/test_support.h"
#include "res/resource.h"
#include "ui/dialog_harness.h"

using testsupport::MakeLocalTime;
using uitest::MainDialogRun;
using uitest::PickerTime;
using uitest::SameDateTime;

namespace {

const int pickerIds[3] = {IDC_PICK_CREATED, IDC_PICK_MODIFIED, IDC_PICK_ACCESSED};

SharedTime &TimeField(int id) {
    return id == IDC_PICK_CREATED    ? jobContext.timeCreated
           : id == IDC_PICK_MODIFIED ? jobContext.timeModified
                                     : jobContext.timeAccessed;
}

SharedWord &UseFlag(int id) {
    return id == IDC_PICK_CREATED    ? jobContext.useCreated
           : id == IDC_PICK_MODIFIED ? jobContext.useModified
                                     : jobContext.useAccessed;
}

class LinkedPickers : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        testsupport::WriteTextFile(dir_ / L"item.txt");
        run_ = std::make_unique<MainDialogRun>(dir_ / L"item.txt");
        ASSERT_NE(run_->Window(), nullptr);
        ASSERT_TRUE(testsupport::PumpUntil(
            [&] { return !run_->Text(IDC_STATUS).empty() && jobPhase == PhaseIdle; }, 20000));
    }
    void TearDown() override {
        if (run_ && run_->Window())
            run_->SetControlHeld(false);
    }
    // Distinct values in all three pickers, all boxes set; then one user change without Ctrl
    // (on the created picker, stepped back afterwards is not needed) so the flags read 1.
    void Reset() {
        for (int i = 0; i < 3; ++i)
            uitest::SetPickerTime(Picker(pickerIds[i]), initial_[i]);
        for (int id : pickerIds)
            ASSERT_EQ(State(id), GDT_VALID);
    }
    HWND Picker(int id) { return run_->Item(id); }
    LRESULT State(int id) {
        LRESULT state = 0;
        PickerTime(Picker(id), &state);
        return state;
    }
    SYSTEMTIME Initial(int id) const {
        return initial_[id == IDC_PICK_CREATED ? 0 : id == IDC_PICK_MODIFIED ? 1 : 2];
    }
    std::vector<int> Receivers(int sender) const {
        std::vector<int> receivers;
        for (int id : pickerIds)
            if (id != sender)
                receivers.push_back(id);
        return receivers;
    }

    testsupport::TempDir dir_;
    std::unique_ptr<MainDialogRun> run_;
    const SYSTEMTIME initial_[3] = {MakeLocalTime(2001, 1, 11, 1, 11, 11),
                                    MakeLocalTime(2002, 2, 12, 2, 22, 22),
                                    MakeLocalTime(2003, 3, 13, 3, 33, 33)};
};

} // namespace

TEST_P(LinkedPickers, ChangeWithControlHeldIsCopiedIntoBothCheckedPickers) {
    const int sender = GetParam();
    Reset();
    run_->SetControlHeld(true);
    run_->StepPicker(sender);
    run_->SetControlHeld(false);
    const SYSTEMTIME value = PickerTime(Picker(sender));
    ASSERT_FALSE(SameDateTime(value, Initial(sender))) << "the picker did not change";
    EXPECT_TRUE(SameDateTime(TimeField(sender).Load(), value));
    for (int receiver : Receivers(sender)) {
        EXPECT_EQ(State(receiver), GDT_VALID);
        EXPECT_TRUE(SameDateTime(PickerTime(Picker(receiver)), value))
            << receiver << " shows " << testing::PrintToString(uitest::Describe(value).size());
        // The job record holds what the receivers show, at once: the rule row, a preview and
        // an apply all read the copied value.
        EXPECT_TRUE(SameDateTime(TimeField(receiver).Load(), value));
    }
}

// Counts the values the program puts into each picker and, like a picker that reports every new
// value, notifies the dialog of the first one it is given while no other notification runs.
struct SetWatch {
    int sets[3] = {};
    bool notifying = false;
};

LRESULT CALLBACK NotifyOnSet(HWND picker, UINT message, WPARAM wParam, LPARAM lParam,
                             UINT_PTR index, DWORD_PTR data) {
    const LRESULT result = DefSubclassProc(picker, message, wParam, lParam);
    auto *watch = reinterpret_cast<SetWatch *>(data);
    if (message == DTM_SETSYSTEMTIME) {
        ++watch->sets[index];
        if (!watch->notifying) {
            watch->notifying = true;
            NMDATETIMECHANGE change = {};
            change.nmhdr.hwndFrom = picker;
            change.nmhdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(picker));
            change.nmhdr.code = DTN_DATETIMECHANGE;
            change.st = *reinterpret_cast<const SYSTEMTIME *>(lParam);
            SendMessageW(GetParent(picker), WM_NOTIFY, change.nmhdr.idFrom,
                         reinterpret_cast<LPARAM>(&change));
            watch->notifying = false;
        }
    }
    return result;
}

TEST_P(LinkedPickers, ValuesTheProgramSetsAreNeverCopiedFurther) {
    const int sender = GetParam();
    Reset();
    SetWatch watch;
    run_->RunOnDialogThread([&] {
        for (UINT_PTR i = 0; i < 3; ++i)
            SetWindowSubclass(Picker(pickerIds[i]), NotifyOnSet, i,
                              reinterpret_cast<DWORD_PTR>(&watch));
    });
    run_->SetControlHeld(true);
    run_->StepPicker(sender);
    run_->SetControlHeld(false);
    run_->RunOnDialogThread([&] {
        for (UINT_PTR i = 0; i < 3; ++i)
            RemoveWindowSubclass(Picker(pickerIds[i]), NotifyOnSet, i);
    });
    // The user's change is copied once into each receiver; the receivers' reports of those
    // copies start nothing.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(watch.sets[i], pickerIds[i] == sender ? 0 : 1) << "picker " << pickerIds[i];
}

TEST_P(LinkedPickers, ClearedReceiverKeepsItsValueAndStaysCleared) {
    const int sender = GetParam();
    for (int cleared : Receivers(sender)) {
        Reset();
        ASSERT_TRUE(uitest::ClickPickerBox(Picker(cleared)));
        ASSERT_EQ(State(cleared), GDT_NONE);
        EXPECT_EQ(UseFlag(cleared), 0);
        run_->SetControlHeld(true);
        run_->StepPicker(sender);
        run_->SetControlHeld(false);
        const SYSTEMTIME value = PickerTime(Picker(sender));
        EXPECT_EQ(State(cleared), GDT_NONE) << "a cleared picker was checked by the link";
        EXPECT_EQ(UseFlag(cleared), 0);
        for (int other : Receivers(sender)) {
            if (other != cleared) {
                EXPECT_TRUE(SameDateTime(PickerTime(Picker(other)), value));
            }
        }
        // Checked again, the cleared picker shows the value it had, not the copied one.
        ASSERT_TRUE(uitest::ClickPickerBox(Picker(cleared)));
        EXPECT_TRUE(SameDateTime(PickerTime(Picker(cleared)), Initial(cleared)));
    }
}

TEST_P(LinkedPickers, ChangeWithoutControlStaysInItsPicker) {
    const int sender = GetParam();
    Reset();
    run_->StepPicker(sender);
    EXPECT_FALSE(SameDateTime(PickerTime(Picker(sender)), Initial(sender)));
    for (int receiver : Receivers(sender))
        EXPECT_TRUE(SameDateTime(PickerTime(Picker(receiver)), Initial(receiver)));
}

TEST_P(LinkedPickers, ClearingTheSendersBoxWithControlHeldCopiesItsValue) {
    const int sender = GetParam();
    Reset();
    run_->SetControlHeld(true);
    ASSERT_TRUE(uitest::ClickPickerBox(Picker(sender)));
    run_->SetControlHeld(false);
    EXPECT_EQ(State(sender), GDT_NONE);
    EXPECT_EQ(UseFlag(sender), 0);
    for (int receiver : Receivers(sender)) {
        EXPECT_EQ(UseFlag(receiver), 1);
        EXPECT_TRUE(SameDateTime(PickerTime(Picker(receiver)), Initial(sender)))
            << "receiver " << receiver;
    }
}

TEST_P(LinkedPickers, NothingIsCopiedWhenBothReceiversAreCleared) {
    const int sender = GetParam();
    Reset();
    for (int receiver : Receivers(sender))
        ASSERT_TRUE(uitest::ClickPickerBox(Picker(receiver)));
    run_->SetControlHeld(true);
    run_->StepPicker(sender);
    run_->SetControlHeld(false);
    for (int receiver : Receivers(sender)) {
        EXPECT_EQ(State(receiver), GDT_NONE);
        ASSERT_TRUE(uitest::ClickPickerBox(Picker(receiver)));
        EXPECT_TRUE(SameDateTime(PickerTime(Picker(receiver)), Initial(receiver)));
    }
    // Only the sender's flag is set now: OK and Apply stay usable.
    EXPECT_TRUE(run_->Enabled(IDOK));
}

INSTANTIATE_TEST_SUITE_P(EachSender, LinkedPickers,
                         ::testing::Values(IDC_PICK_CREATED, IDC_PICK_MODIFIED, IDC_PICK_ACCESSED));

namespace {

// The pickers of a dialog started on a file whose times are known.
class PickerFormat : public ::testing::Test {
  protected:
    std::wstring ModifiedPickerText(const SYSTEMTIME &local) {
        testsupport::WriteTextFile(dir_ / L"dated.txt");
        const FILETIME utc = testsupport::LocalToUtc(local);
        EXPECT_TRUE(testsupport::WriteTimes(dir_ / L"dated.txt", &utc, &utc, &utc));
        MainDialogRun run(dir_ / L"dated.txt");
        EXPECT_NE(run.Window(), nullptr);
        return testsupport::WindowText(run.Item(IDC_PICK_MODIFIED));
    }
    testsupport::TempDir dir_;
};

} // namespace

TEST_F(PickerFormat, PolishShowsDayMonthYearAnd24HourTime) {
    EXPECT_EQ(ModifiedPickerText(MakeLocalTime(2004, 5, 6, 17, 8, 9)), L"06.05.2004   17:08:09");
}

class PickerFormatChinese : public PickerFormat {};

TEST_F(PickerFormatChinese, ChineseShowsYearMonthDayAnd12HourTime) {
    ASSERT_TRUE(testsupport::IsChineseUi());
    // Year/month/day without leading zeros, 12-hour clock with the designator.
    const std::wstring text = ModifiedPickerText(MakeLocalTime(2004, 5, 6, 17, 8, 9));
    EXPECT_EQ(text.substr(0, 20), L"2004/5/6   05:08:09 ");
    EXPECT_GT(text.size(), 20u) << "the afternoon designator follows";
}

class PickerFormatEnglish : public PickerFormat {};

TEST_F(PickerFormatEnglish, EnglishShowsMonthDayYearAnd12HourTime) {
    ASSERT_TRUE(testsupport::IsEnglishUi());
    EXPECT_EQ(ModifiedPickerText(MakeLocalTime(2004, 5, 6, 17, 8, 9)), L"05/06/2004   05:08:09 PM");
}
