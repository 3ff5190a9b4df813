// The three date-time pickers: their format, their use flags, and the Ctrl link that copies a
// user's change into the other checked pickers.
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

void SetPicker(HWND dialog, int index, const SYSTEMTIME &time) {
    settingPickers = true;
    SendDlgItemMessageW(dialog, pickers[index].id, DTM_SETSYSTEMTIME, GDT_VALID,
                        reinterpret_cast<LPARAM>(&time));
    settingPickers = false;
    shown[index] = time;
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
    (jobContext.*picker.time).Store(shown[index]);
    jobContext.*picker.use = state == GDT_VALID ? 1 : 0;
}

bool ControlHeld() {
    return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

void CopyIntoCheckedPickers(HWND dialog, int sender) {
    const SYSTEMTIME time = (jobContext.*pickers[sender].time).Load();
    for (int receiver = 0; receiver < 3; ++receiver)
        if (receiver != sender && jobContext.*pickers[receiver].use)
            SetPicker(dialog, receiver, time);
}

// Under a shift, Ctrl moves the other checked pickers by the same elapsed time as the sender
// moved, each from its own value.
void ShiftCheckedPickers(HWND dialog, int sender, const SYSTEMTIME &senderBefore) {
    const int64_t moved = LocalDifference(senderBefore, (jobContext.*pickers[sender].time).Load());
    for (int receiver = 0; receiver < 3; ++receiver) {
        SYSTEMTIME time;
        if (receiver == sender || !(jobContext.*pickers[receiver].use) ||
            !MoveLocal(shown[receiver], moved, &time))
            continue;
        (jobContext.*pickers[receiver].time).Store(time);
        SetPicker(dialog, receiver, time);
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
        SetPicker(dialog, index, (jobContext.*pickers[index].time).Load());
    ShowShifts(dialog);
}

void OnPickerChanged(HWND dialog, const NMHDR *notification) {
    if (settingPickers)
        return;
    const auto *change = reinterpret_cast<const NMDATETIMECHANGE *>(notification);
    int sender = -1;
    SYSTEMTIME before[3];
    for (int index = 0; index < 3; ++index)
        before[index] = shown[index];
    for (int index = 0; index < 3; ++index) {
        const bool isSender = static_cast<int>(notification->idFrom) == pickers[index].id;
        if (isSender)
            sender = index;
        ReadPicker(dialog, index, isSender ? change : nullptr);
    }
    if (sender >= 0 && ControlHeld()) {
        if (jobContext.timeRule == RuleShift)
            ShiftCheckedPickers(dialog, sender, before[sender]);
        else
            CopyIntoCheckedPickers(dialog, sender);
    }
    ShowShifts(dialog);
    UpdateEnabling();
}
