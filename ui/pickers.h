#pragma once
// The three linked date-time pickers.
#include <windows.h>

#include <commctrl.h>

void SetPickerFormats(HWND dialog);
void OnPickerChanged(HWND dialog, const NMHDR *notification);
// Puts the three times of the job record into the pickers (checking them). A value the program
// sets this way is not a user's change: it never runs OnPickerChanged.
void ShowPickerTimes(HWND dialog);
