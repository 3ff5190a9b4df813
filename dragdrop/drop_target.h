#pragma once
// Drag and drop onto the main dialog.
#include <windows.h>

// Dialog initialisation: prepares the drop descriptions from the dialog's texts and registers
// the drop target object (when it exists and OLE started) on the dialog.
void RegisterDropTarget(HWND dialog);
// Window destruction: revokes the registration made by RegisterDropTarget, if any.
void RevokeDropTarget();
