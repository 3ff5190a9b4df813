#include "common/display_support.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/test_support.h"

namespace testsupport {

namespace {

std::string Narrow(const std::wstring &text) {
    std::string narrow;
    for (wchar_t c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

// The text as drawn: "&&" is one ampersand, a single '&' underlines the next letter.
std::wstring WithoutPrefix(const std::wstring &text) {
    std::wstring shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// Room that a button takes from its width besides the caption: the check box and the gap after
// it, the frame of a push button, the line before and after a group box's caption.
int ButtonDecoration(DWORD style) {
    const int dpi = ScreenDpi();
    switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return GetSystemMetrics(SM_CXMENUCHECK) + MulDiv(4, dpi, 96);
    case BS_GROUPBOX:
        return MulDiv(16, dpi, 96);
    default:
        return MulDiv(6, dpi, 96);
    }
}

} // namespace

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int ExpectedDpi() {
    wchar_t expected[16] = {};
    return GetEnvironmentVariableW(L"VANDREL_EXPECTED_DPI", expected, 16) ? _wtoi(expected) : 96;
}

int RunSelfAtDpi(DWORD dpi, const std::wstring &filter) {
    HKEY desktop = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &desktop,
                        nullptr) != ERROR_SUCCESS)
        return -1;
    DWORD saved = 0, type = 0, size = sizeof saved;
    const bool hadValue =
        RegQueryValueExW(desktop, L"LogPixels", nullptr, &type, reinterpret_cast<BYTE *>(&saved),
                         &size) == ERROR_SUCCESS;
    RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&dpi),
                   sizeof dpi);
    SetEnvironmentVariableW(L"VANDREL_EXPECTED_DPI", std::to_wstring(dpi).c_str());
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_filter=" + filter;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    const BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableW(L"VANDREL_EXPECTED_DPI", nullptr);
    DWORD code = static_cast<DWORD>(-1);
    if (started) {
        PumpUntil([&] { return WaitForSingleObject(child.hProcess, 0) == WAIT_OBJECT_0; }, 60000);
        GetExitCodeProcess(child.hProcess, &code);
        if (code == STILL_ACTIVE) {
            TerminateProcess(child.hProcess, 1);
            code = static_cast<DWORD>(-1);
        }
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    }
    if (hadValue)
        RegSetValueExW(desktop, L"LogPixels", 0, type, reinterpret_cast<const BYTE *>(&saved),
                       sizeof saved);
    else
        RegDeleteValueW(desktop, L"LogPixels");
    RegCloseKey(desktop);
    return static_cast<int>(code);
}

SIZE IconSize(HICON icon) {
    SIZE size = {0, 0};
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info))
        return size;
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    size.cx = bitmap.bmWidth;
    size.cy = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return size;
}

void ExpectNoCaptionCut(HWND dialog) {
    int measured = 0;
    for (HWND control = GetWindow(dialog, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        const std::wstring text = WindowText(control);
        const std::wstring className = ClassOf(control);
        const DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
        const bool isStatic = lstrcmpiW(className.c_str(), L"Static") == 0;
        const bool isIcon = isStatic && (style & SS_TYPEMASK) == SS_ICON;
        if (text.empty() || isIcon || (!isStatic && lstrcmpiW(className.c_str(), L"Button") != 0))
            continue;
        SCOPED_TRACE("control " + std::to_string(GetDlgCtrlID(control)) + ": " + Narrow(text));
        RECT client = {};
        GetClientRect(control, &client);
        HDC context = GetDC(control);
        const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        ASSERT_NE(nullptr, font);
        const HGDIOBJ previous = SelectObject(context, font);
        const std::wstring shown = WithoutPrefix(text);
        SIZE extent = {};
        GetTextExtentPoint32W(context, shown.c_str(), static_cast<int>(shown.size()), &extent);
        const DWORD type = style & SS_TYPEMASK;
        const bool wraps = isStatic && (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT);
        if (wraps) {
            RECT needed = {0, 0, client.right, 0};
            DrawTextW(context, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK);
            EXPECT_LE(needed.right, client.right);
            EXPECT_LE(needed.bottom, client.bottom) << "wrapped into more lines than it shows";
        } else {
            const int decoration = isStatic ? 0 : ButtonDecoration(style);
            EXPECT_LE(extent.cx + decoration, client.right)
                << "text " << extent.cx << " + " << decoration << " pixels";
            EXPECT_LE(extent.cy, client.bottom);
        }
        SelectObject(context, previous);
        ReleaseDC(control, context);
        ++measured;
    }
    EXPECT_GT(measured, 0);
}

void ExpectControlsInside(HWND dialog) {
    RECT client = {};
    GetClientRect(dialog, &client);
    for (HWND control = GetWindow(dialog, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        RECT bounds = {};
        GetWindowRect(control, &bounds);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT *>(&bounds), 2);
        const int id = GetDlgCtrlID(control);
        EXPECT_GE(bounds.left, client.left) << id;
        EXPECT_GE(bounds.top, client.top) << id;
        EXPECT_LE(bounds.right, client.right) << id;
        EXPECT_LE(bounds.bottom, client.bottom) << id;
    }
}

void ExpectNoControlsOverlap(HWND dialog) {
    struct Placed {
        int id;
        RECT bounds;
        bool groupBox;
    };
    std::vector<Placed> placed;
    for (HWND control = GetWindow(dialog, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        // The style, not IsWindowVisible: a dialog not yet shown is measured too.
        const DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
        if (!(style & WS_VISIBLE))
            continue;
        RECT bounds = {};
        GetWindowRect(control, &bounds);
        const bool groupBox = lstrcmpiW(ClassOf(control).c_str(), L"Button") == 0 &&
                              (style & BS_TYPEMASK) == BS_GROUPBOX;
        placed.push_back({GetDlgCtrlID(control), bounds, groupBox});
    }
    for (size_t i = 0; i < placed.size(); ++i)
        for (size_t j = i + 1; j < placed.size(); ++j) {
            const Placed &a = placed[i], &b = placed[j];
            RECT common = {};
            if (!IntersectRect(&common, &a.bounds, &b.bounds))
                continue;
            const bool nested = (a.groupBox && EqualRect(&common, &b.bounds)) ||
                                (b.groupBox && EqualRect(&common, &a.bounds));
            EXPECT_TRUE(nested) << "controls " << a.id << " and " << b.id << " overlap";
        }
}

} // namespace testsupport
