#include "ui/rule_row.h"

#include "app/job_context.h"
#include "app/text.h"
#include "engine/time_rule.h"
#include "engine/saved_times.h"
#include "res/resource.h"
#include "ui/job_controller.h"
#include "ui/list_choice.h"

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

// The rules' names, in the order of TimeRule.
const UINT ruleNames[TimeRules] = {
    IDS_RULE_SET,        IDS_RULE_SHIFT,     IDS_RULE_COPY_MODIFIED, IDS_RULE_COPY_CREATED,
    IDS_RULE_DATE_TAKEN, IDS_RULE_NAME_DATE, IDS_RULE_NEWEST,        IDS_RULE_SAVED_LIST};

} // namespace

void InitRuleRow(HWND dialog) {
    const HWND list = GetDlgItem(dialog, IDC_RULE);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (UINT name : ruleNames)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LoadText(name)));
    SendMessageW(list, CB_SETCURSEL, RuleSetDates, 0);
    jobContext.timeRule = RuleSetDates;
    savedTimes.Clear();
    ShowShifts(dialog);
}

void OnRuleChanged(HWND dialog) {
    const LRESULT chosen = SendDlgItemMessageW(dialog, IDC_RULE, CB_GETCURSEL, 0, 0);
    int32_t rule = chosen >= 0 && chosen < TimeRules ? static_cast<int32_t>(chosen) : 0;
    // The list is asked for at once; without one the rule stays as it was.
    if (rule == RuleSavedList && !ChooseSavedList(dialog)) {
        rule = jobContext.timeRule;
        SendDlgItemMessageW(dialog, IDC_RULE, CB_SETCURSEL, rule, 0);
    }
    jobContext.timeRule = rule;
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
