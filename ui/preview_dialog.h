#pragma once
// The preview window: every item an apply would touch, with each chosen stamp's time now and
// its new time, from the list the preview pass made.
#include <windows.h>

#include <string>
#include <vector>

#include "engine/list_texts.h"
#include "engine/time_rule.h"

// Modal over owner; IDC_PREVIEW_APPLY when the user chose Apply, IDCANCEL otherwise.
INT_PTR ShowPreview(HWND owner);
INT_PTR CALLBACK PreviewDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The column titles: the item, then for each stamp in use its time now and its new time, then
// where the new time came from for the rules that find one.
std::vector<std::wstring> PreviewColumns();
