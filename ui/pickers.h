#pragma once
// The three linked date-time pickers.
#include <windows.h>

#include <commctrl.h>

void SetPickerFormats(HWND dialog);
void OnPickerChanged(HWND dialog, const NMHDR *notification);
// Puts the three times of the job record into the pickers (checking them). A value the program
// sets this way is not a user's change: it never runs OnPickerChanged.
void ShowPickerTimes(HWND dialog);
// Before a pass: what the pickers show now, and the shifts they make, into the job record.
void ReadPickersIntoJob(HWND dialog);
// What the three pickers hold, for putting it back: a preview's Apply applies the values the
// preview was made with, also when a picker was changed while the list was being made.
struct PickerValues {
    SYSTEMTIME time[3];
    FILETIME moment[3];
    bool use[3];
};
PickerValues SavePickers();
void RestorePickers(HWND dialog, const PickerValues &values);
