// The three date-time pickers: their format, their use flags, and the Ctrl link that copies a
// user's change into the other checked pickers.
#include "ui/pickers.h"

#include "app/job_context.h"
#include "app/text.h"
#include "res/resource.h"
#include "ui/main_dialog.h"

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

void SetPicker(HWND dialog, int id, const SYSTEMTIME &time) {
    settingPickers = true;
    SendDlgItemMessageW(dialog, id, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
    settingPickers = false;
}

// Reads one picker into its value field and use flag. A cleared picker keeps the last value in
// the field, whatever the platform leaves in the answer.
void ReadPicker(HWND dialog, const Picker &picker) {
    SYSTEMTIME time = (jobContext.*picker.time).Load();
    const LRESULT state = SendDlgItemMessageW(dialog, picker.id, DTM_GETSYSTEMTIME, 0,
                                              reinterpret_cast<LPARAM>(&time));
    (jobContext.*picker.time).Store(time);
    jobContext.*picker.use = state == GDT_VALID ? 1 : 0;
}

bool ControlHeld() {
    return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

void CopyIntoCheckedPickers(HWND dialog, const Picker &sender) {
    const SYSTEMTIME time = (jobContext.*sender.time).Load();
    for (const Picker &receiver : pickers)
        if (receiver.id != sender.id && jobContext.*receiver.use)
            SetPicker(dialog, receiver.id, time);
}

} // namespace

void SetPickerFormats(HWND dialog) {
    for (const Picker &picker : pickers)
        SendDlgItemMessageW(dialog, picker.id, DTM_SETFORMATW, 0,
                            reinterpret_cast<LPARAM>(LoadText(IDS_PICKER_FORMAT)));
}

void ShowPickerTimes(HWND dialog) {
    for (const Picker &picker : pickers)
        SetPicker(dialog, picker.id, (jobContext.*picker.time).Load());
}

void OnPickerChanged(HWND dialog, const NMHDR *notification) {
    if (settingPickers)
        return;
    for (const Picker &picker : pickers)
        ReadPicker(dialog, picker);
    if (ControlHeld())
        for (const Picker &sender : pickers)
            if (static_cast<int>(notification->idFrom) == sender.id)
                CopyIntoCheckedPickers(dialog, sender);
    UpdateEnabling();
}
