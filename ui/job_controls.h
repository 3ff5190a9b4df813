#pragma once
// What the main dialog shows of the job controller's work: the locked controls while a job runs
// and the end of a job. The controller asks for these with JobControlsMessage and
// JobEndedMessage.
#include <windows.h>

// Locks the controls that would change a running job (Count becomes Stop), or unlocks them.
void ShowJobControls(HWND dialog, bool locked);
// The job has ended: the status line is refreshed, the controls are unlocked when the job had
// locked them, and the window flashes.
void ShowJobEnd(HWND dialog, bool unlock);
