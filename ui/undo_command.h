#pragma once
// The main dialog's "undo last apply" entry in its system menu.
#include <windows.h>

// Adds the entry to the dialog's system menu (at initialisation).
void AddUndoEntry(HWND dialog);
// Enables the entry only while the history holds an item and no pass runs.
void UpdateUndoEntry(HWND dialog);
// Whether an undo can start now.
bool UndoAvailable();
// Whether the folder of the newest apply is there; if not, one notice names it.
bool UndoFolderPresent();
// Asks once, naming the target, the number of items and the time of the apply; true for yes.
bool ConfirmUndo(HWND dialog);
