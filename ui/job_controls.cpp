#include "ui/job_controls.h"

#include <initializer_list>

#include "app/job_context.h"
#include "app/text.h"
#include "res/resource.h"
#include "ui/status.h"

void ShowJobControls(HWND dialog, bool locked) {
    SendDlgItemMessageW(dialog, IDC_FILTER, EM_SETREADONLY, locked, 0);
    for (int id : {IDC_SUBFOLDERS, IDC_APPLY_TO_FOLDERS, IDOK, IDC_APPLY, IDC_RULE, IDC_PREVIEW})
        EnableWindow(GetDlgItem(dialog, id), !locked);
    EnableWindow(GetDlgItem(dialog, IDC_COUNT), TRUE);
    ShowWindow(GetDlgItem(dialog, IDC_BROWSE), locked ? SW_HIDE : SW_SHOW);
    SetDlgItemTextW(dialog, IDC_COUNT, LoadText(locked ? IDS_STOP : IDS_COUNT));
}

void ShowJobEnd(HWND dialog, bool unlock) {
    // The final status first: whoever sees the controls unlocked reads the end, not a count.
    ShowStatus();
    if (unlock)
        ShowJobControls(dialog, false);
    FlashWindow(dialog, FALSE);
}
