#pragma once
// Target selection: a picked path becomes the folder and the pattern of the job.
#include <windows.h>

// Takes the path in jobContext.pickedPath. Returns 1 when the caller should start a count.
int SetTarget(int isPlaceholder, int atStartup);
// The same for a path that may not fit pickedPath: a longer path is never cut and opened, it is
// reported like a path that cannot be opened (error 206) and handled the same way.
int SetTargetPath(const wchar_t *path, int isPlaceholder, int atStartup);
// The shell's folder browser; returns 1 when an item was picked (and SetTarget has run).
int BrowseForTarget();
// The target's times into the job record and the three pickers; checks all three pickers and
// sets the three use flags to match.
void ShowTargetTimes(const FILETIME &created, const FILETIME &accessed, const FILETIME &written);
// The target folder's icon on control 1001 anew, at the size for dpi dots per inch.
void ShowTargetIconAt(HWND dialog, UINT dpi);
// Window destruction: takes the target's icon off control 1001 and destroys it.
void ReleaseTargetIcon(HWND dialog);
