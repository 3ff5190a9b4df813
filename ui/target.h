#pragma once
// Target selection: a picked path becomes the folder and the pattern of the job.
#include <windows.h>

// Takes the path in jobContext.pickedPath. Returns 1 when the caller should start a count.
int SetTarget(int isPlaceholder, int atStartup);
// The shell's folder browser; returns 1 when an item was picked (and SetTarget has run).
int BrowseForTarget();
// Reads the item's current times into the job record and the three pickers.
void LoadTargetTimes(HANDLE item);
