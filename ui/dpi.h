#pragma once
// The resolution a window is drawn at, and the sizes of what the program draws itself there:
// icons and fonts follow the monitor's scale, so the program stays sharp at any scaling.
#include <windows.h>

#include "app/handles.h"

// Sent when a window moves to a monitor of another scale: LOWORD(wParam) is the new dots per
// inch, lParam the RECT the window should take.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

constexpr UINT DefaultDpi = 96;

// The window's dots per inch (GetDpiForWindow from Windows 10 on, else the screen's).
UINT WindowDpi(HWND window);
// A system metric for the given dots per inch (GetSystemMetricsForDpi where it exists, else the
// system's metric scaled from the screen's resolution).
int SystemMetricForDpi(int index, UINT dpi);
// A length given for 96 dots per inch, at dpi.
int ScaleForDpi(int length, UINT dpi);

// Icon resource 1 at size × size pixels.
HICON LoadProgramIcon(int size);
// The shell's icon for a path at size × size pixels; the shell's large icon when it cannot be
// had at that size.
HICON ShellIconAtSize(const wchar_t *path, int size);

// The small and big icons of a window at its resolution, destroyed once replaced or cleared.
class WindowIcons {
  public:
    void Show(HWND window, UINT dpi);
    void Clear(HWND window);

  private:
    UniqueIcon small_, big_;
};

// WM_DPICHANGED: the window takes the rectangle Windows suggests.
void TakeSuggestedRect(HWND window, LPARAM suggested);
