#pragma once
// The three linked date-time pickers.
#include <windows.h>

#include <commctrl.h>

void SetPickerFormats(HWND dialog);
void OnPickerChanged(HWND dialog, const NMHDR *notification);
