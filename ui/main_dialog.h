#pragma once
// The main dialog (template 1000) and what other parts of the program use of it.
#include <windows.h>

#include "app/job_context.h"

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// When set, an edit of the filter arms the recount timer; cleared while the program itself
// fills the dialog.
extern SharedWord autoRecount;

// Enables Count, OK and Apply by the target and the pickers; returns 1 when the target is usable.
int UpdateEnabling();

// COLOR_WINDOW with visual styles on Vista and later, else COLOR_BTNFACE; decided afresh each time.
int StaticBackgroundIndex();
// Sets the colours of a static's device context and returns the background brush, kept one
// per colour for the life of the process.
HBRUSH PrepareStaticColours(COLORREF textColour, HDC context, COLORREF backgroundColour);
