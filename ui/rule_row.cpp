#include "ui/rule_row.h"

#include "app/job_context.h"
#include "app/text.h"
#include "engine/time_rule.h"
#include "res/resource.h"

namespace {

struct ShiftedPicker {
    int shiftId;
    SharedTime JobContext::*time;
    SharedWord JobContext::*use;
    int stamp;
};

const ShiftedPicker shiftedPickers[3] = {
    {IDC_SHIFT_CREATED, &JobContext::timeCreated, &JobContext::useCreated, StampIndexCreated},
    {IDC_SHIFT_MODIFIED, &JobContext::timeModified, &JobContext::useModified, StampIndexWritten},
    {IDC_SHIFT_ACCESSED, &JobContext::timeAccessed, &JobContext::useAccessed, StampIndexAccessed},
};

// How far the picker was moved from the time loaded from the target; nothing when none was.
int64_t ShiftOf(const ShiftedPicker &picker) {
    const SharedTime &time = jobContext.*picker.time;
    FILETIME loaded = {};
    return time.Loaded(&loaded) ? PickerShift(time.Moment(), loaded) : 0;
}

} // namespace

void InitRuleRow(HWND dialog) {
    const HWND list = GetDlgItem(dialog, IDC_RULE);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (int rule = 0; rule < TimeRules; ++rule)
        SendMessageW(list, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(LoadText(IDS_RULE_SET + rule)));
    SendMessageW(list, CB_SETCURSEL, RuleSetDates, 0);
    jobContext.timeRule = RuleSetDates;
    ShowShifts(dialog);
}

void OnRuleChanged(HWND dialog) {
    const LRESULT chosen = SendDlgItemMessageW(dialog, IDC_RULE, CB_GETCURSEL, 0, 0);
    jobContext.timeRule = chosen >= 0 && chosen < TimeRules ? static_cast<int32_t>(chosen) : 0;
    ShowShifts(dialog);
}

void ShowShifts(HWND dialog) {
    const bool shifting = jobContext.timeRule == RuleShift;
    for (const ShiftedPicker &picker : shiftedPickers) {
        const HWND shown = GetDlgItem(dialog, picker.shiftId);
        const bool visible = shifting && jobContext.*picker.use;
        if (visible)
            SetWindowTextW(shown, FormatShift(ShiftOf(picker)).c_str());
        ShowWindow(shown, visible ? SW_SHOWNA : SW_HIDE);
    }
}

void StoreShifts() {
    for (const ShiftedPicker &picker : shiftedPickers)
        jobContext.shift[picker.stamp].Store(ShiftOf(picker));
}
