// The three date-time pickers: their format, their use flags, and the Ctrl link that copies a
// user's change into the other checked pickers (or, under a shift, moves them by as much).
#include "ui/pickers.h"

#include "app/job_context.h"
#include "app/text.h"
#include "engine/time_rule.h"
#include "res/resource.h"
#include "ui/main_dialog.h"
#include "ui/rule_row.h"

namespace {

struct Picker {
    int id;
    SharedTime JobContext::*time;
    SharedWord JobContext::*use;
};

const Picker pickers[3] = {
    {IDC_PICK_CREATED, &JobContext::timeCreated, &JobContext::useCreated},
    {IDC_PICK_MODIFIED, &JobContext::timeModified, &JobContext::useModified},
    {IDC_PICK_ACCESSED, &JobContext::timeAccessed, &JobContext::useAccessed},
};

// Set while the program itself puts values into the pickers, so that a picker that reports
// such a value as a change does not start further copies.
bool settingPickers = false;

// What each picker shows, as far as the program knows. A cleared picker still shows a value,
// but DTM_GETSYSTEMTIME does not give it.
SYSTEMTIME shown[3];

SharedTime &TimeOf(int index) {
    return jobContext.*pickers[index].time;
}

void SetPicker(HWND dialog, int index, const SYSTEMTIME &time) {
    settingPickers = true;
    SendDlgItemMessageW(dialog, pickers[index].id, DTM_SETSYSTEMTIME, GDT_VALID,
                        reinterpret_cast<LPARAM>(&time));
    settingPickers = false;
    shown[index] = time;
}

// A value the program gives a picker goes into the job record at once, with its moment, so that
// the rule row, a preview and an apply all read the same.
void SetPickerMoment(HWND dialog, int index, const FILETIME &moment) {
    const SYSTEMTIME time = LocalTimeOf(moment);
    TimeOf(index).Store(time, moment);
    SetPicker(dialog, index, time);
}

// The job record takes what the picker shows now: the moment the user moved it to, from the
// one it named before.
void StoreShown(int index, const SYSTEMTIME &time) {
    SharedTime &record = TimeOf(index);
    FILETIME moment;
    if (PickerMoment(record.Load(), record.Moment(), time, &moment))
        record.Store(time, moment);
    else
        record.Store(time);
}

// Reads one picker into its value field and use flag. A cleared picker leaves the value it
// shows in the field: the one the change notification carries when it sent it, else the last
// one known.
void ReadPicker(HWND dialog, int index, const NMDATETIMECHANGE *change) {
    const Picker &picker = pickers[index];
    SYSTEMTIME time = {};
    const LRESULT state = SendDlgItemMessageW(dialog, picker.id, DTM_GETSYSTEMTIME, 0,
                                              reinterpret_cast<LPARAM>(&time));
    if (state == GDT_VALID)
        shown[index] = time;
    else if (change && change->st.wYear >= 1601)
        shown[index] = change->st;
    StoreShown(index, shown[index]);
    jobContext.*picker.use = state == GDT_VALID ? 1 : 0;
}

bool ControlHeld() {
    return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

void CopyIntoCheckedPickers(HWND dialog, int sender) {
    const FILETIME moment = TimeOf(sender).Moment();
    for (int receiver = 0; receiver < 3; ++receiver)
        if (receiver != sender && jobContext.*pickers[receiver].use)
            SetPickerMoment(dialog, receiver, moment);
}

// Under a shift, Ctrl moves the other checked pickers by the same elapsed time as the sender
// moved, each from its own moment.
void ShiftCheckedPickers(HWND dialog, int sender, const FILETIME &senderBefore) {
    const int64_t moved = PickerShift(TimeOf(sender).Moment(), senderBefore);
    for (int receiver = 0; receiver < 3; ++receiver) {
        FILETIME moment;
        if (receiver != sender && jobContext.*pickers[receiver].use &&
            MoveMoment(TimeOf(receiver).Moment(), moved, &moment))
            SetPickerMoment(dialog, receiver, moment);
    }
}

} // namespace

void SetPickerFormats(HWND dialog) {
    for (const Picker &picker : pickers)
        SendDlgItemMessageW(dialog, picker.id, DTM_SETFORMATW, 0,
                            reinterpret_cast<LPARAM>(LoadText(IDS_PICKER_FORMAT)));
}

void ShowPickerTimes(HWND dialog) {
    for (int index = 0; index < 3; ++index)
        SetPicker(dialog, index, TimeOf(index).Load());
    ShowShifts(dialog);
}

void ReadPickersIntoJob(HWND dialog) {
    for (int index = 0; index < 3; ++index) {
        SYSTEMTIME time = TimeOf(index).Load();
        SendDlgItemMessageW(dialog, pickers[index].id, DTM_GETSYSTEMTIME, 0,
                            reinterpret_cast<LPARAM>(&time));
        StoreShown(index, time);
    }
    StoreShifts();
}

void OnPickerChanged(HWND dialog, const NMHDR *notification) {
    if (settingPickers)
        return;
    const auto *change = reinterpret_cast<const NMDATETIMECHANGE *>(notification);
    int sender = -1;
    FILETIME senderBefore = {};
    for (int index = 0; index < 3; ++index) {
        const bool isSender = static_cast<int>(notification->idFrom) == pickers[index].id;
        if (isSender) {
            sender = index;
            senderBefore = TimeOf(index).Moment();
        }
        ReadPicker(dialog, index, isSender ? change : nullptr);
    }
    if (sender >= 0 && ControlHeld()) {
        if (jobContext.timeRule == RuleShift)
            ShiftCheckedPickers(dialog, sender, senderBefore);
        else
            CopyIntoCheckedPickers(dialog, sender);
    }
    ShowShifts(dialog);
    UpdateEnabling();
}

PickerValues SavePickers() {
    PickerValues values;
    for (int index = 0; index < 3; ++index) {
        values.time[index] = TimeOf(index).Load();
        values.moment[index] = TimeOf(index).Moment();
        values.use[index] = jobContext.*pickers[index].use != 0;
    }
    return values;
}

void RestorePickers(HWND dialog, const PickerValues &values) {
    for (int index = 0; index < 3; ++index) {
        TimeOf(index).Store(values.time[index], values.moment[index]);
        SetPicker(dialog, index, values.time[index]);
        if (!values.use[index]) {
            settingPickers = true;
            SendDlgItemMessageW(dialog, pickers[index].id, DTM_SETSYSTEMTIME, GDT_NONE, 0);
            settingPickers = false;
        }
        jobContext.*pickers[index].use = values.use[index] ? 1 : 0;
    }
    ShowShifts(dialog);
    UpdateEnabling();
}
