#pragma once
// The rule that puts times back from a saved list: choosing it asks for the list at once.
#include <windows.h>

#include <string>

#include "readers/saved_list.h"

// The file dialog for a list: one to save (a new name offered) or one to open. False when the
// user chose none.
bool AskForListFile(HWND owner, bool forSaving, std::wstring *path);
// Asks for a list file and loads it for the passes to come. False when the user chose none or
// the list cannot be read or a line of it cannot be taken (then a message said what is wrong and
// where, and nothing of that list is kept).
bool ChooseSavedList(HWND dialog);
