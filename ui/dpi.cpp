#include "ui/dpi.h"

#include <shellapi.h>
#include <shlobj.h>

#include "app/job_context.h"
#include "res/resource.h"

namespace {

// Entry points of Windows 10, looked up so that the program still starts on XP.
template <typename Function> Function User32Entry(const char *name) {
    const HMODULE user32 = GetModuleHandleW(L"USER32.DLL");
    return user32
               ? reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(user32, name)))
               : nullptr;
}

UINT ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : DefaultDpi;
}

} // namespace

UINT WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI *)(HWND);
    static const auto getDpiForWindow = User32Entry<GetDpiForWindowFunction>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow && window ? getDpiForWindow(window) : 0;
    return dpi ? dpi : ScreenDpi();
}

int SystemMetricForDpi(int index, UINT dpi) {
    using MetricsForDpiFunction = int(WINAPI *)(int, UINT);
    static const auto metricsForDpi = User32Entry<MetricsForDpiFunction>("GetSystemMetricsForDpi");
    if (metricsForDpi)
        return metricsForDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(ScreenDpi()));
}

int ScaleForDpi(int length, UINT dpi) {
    return MulDiv(length, static_cast<int>(dpi), static_cast<int>(DefaultDpi));
}

HICON LoadProgramIcon(int size) {
    return static_cast<HICON>(
        LoadImageW(appInstance, MAKEINTRESOURCEW(IDI_VANDREL), IMAGE_ICON, size, size, 0));
}

HICON ShellIconAtSize(const wchar_t *path, int size) {
    // The shell hands out its icons at the system's size only: take the icon from where the
    // shell says it lives, at the size asked for.
    SHFILEINFOW info = {};
    if (SHGetFileInfoW(path, 0, &info, sizeof info, SHGFI_ICONLOCATION) && info.szDisplayName[0]) {
        HICON icon = nullptr;
        if (SHDefExtractIconW(info.szDisplayName, info.iIcon, 0, &icon, nullptr,
                              static_cast<UINT>(size)) == S_OK &&
            icon)
            return icon;
    }
    info = {};
    if (!SHGetFileInfoW(path, 0, &info, sizeof info, SHGFI_ICON | SHGFI_LARGEICON))
        return nullptr;
    return info.hIcon;
}

void WindowIcons::Show(HWND window, UINT dpi) {
    // The window shows the new icons before the old ones go.
    HICON small = LoadProgramIcon(SystemMetricForDpi(SM_CXSMICON, dpi));
    HICON big = LoadProgramIcon(SystemMetricForDpi(SM_CXICON, dpi));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    small_.Reset(small);
    big_.Reset(big);
}

void WindowIcons::Clear(HWND window) {
    SendMessageW(window, WM_SETICON, ICON_SMALL, 0);
    SendMessageW(window, WM_SETICON, ICON_BIG, 0);
    small_.Reset();
    big_.Reset();
}

void TakeSuggestedRect(HWND window, LPARAM suggested) {
    const auto *rect = reinterpret_cast<const RECT *>(suggested);
    if (!rect)
        return;
    SetWindowPos(window, nullptr, rect->left, rect->top, rect->right - rect->left,
                 rect->bottom - rect->top, SWP_NOZORDER | SWP_NOACTIVATE);
}
