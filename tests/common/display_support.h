#pragma once
// Measuring dialogs on screen, and running a test again at another screen resolution.
#include <windows.h>

#include <string>

namespace testsupport {

// The screen's dots per inch in this process.
int ScreenDpi();
// The dots per inch a test run by RunSelfAtDpi expects: VANDREL_EXPECTED_DPI, else 96.
int ExpectedDpi();
// Runs this test program again with only the tests of `filter`, with the prefix's resolution at
// dpi for as long as it runs (Wine reads it when a process starts), and VANDREL_EXPECTED_DPI set.
// Returns the child's exit code, -1 when it did not start or end.
int RunSelfAtDpi(DWORD dpi, const std::wstring &filter);

// The pixel size of an icon (0 × 0 for none).
SIZE IconSize(HICON icon);
// Every caption of the window's statics and buttons, measured in the control's own font, fits its
// control: on one line within its width, or, for a static that wraps, within its height.
void ExpectNoCaptionCut(HWND dialog);
// Every child window lies inside the dialog's client area.
void ExpectControlsInside(HWND dialog);
// No two visible child windows overlap, except a control that lies wholly inside a group box.
void ExpectNoControlsOverlap(HWND dialog);

} // namespace testsupport
