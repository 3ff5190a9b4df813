#include "about/about_dialog.h"

#include "app/handles.h"
#include "app/job_context.h"
#include "app/text.h"
#include "res/resource.h"
#include "ui/dpi.h"
#include "ui/main_dialog.h"
#include "vandrel_version.h"

namespace {

// The box is modal, so one set of these exists at a time; all of it goes with the box.
UniqueIcon largeIcon;
UniqueIcon smallIcon;

// How the five restyled controls differ from the dialog font. A size of 0 keeps the dialog
// font's height.
struct FontStyle {
    int controlId;
    int points;
    LONG weight;
    BYTE underline;
};
constexpr FontStyle fontStyles[] = {
    {IDC_ABOUT_PRODUCT, 12, FW_BOLD, 0}, {IDC_ABOUT_MAIL, 0, FW_NORMAL, 1},
    {IDC_ABOUT_HOME, 0, FW_NORMAL, 1},   {IDC_ABOUT_VERSION, 0, FW_BOLD, 0},
    {IDC_ABOUT_INFO, 7, FW_NORMAL, 0},
};
constexpr size_t FontCount = sizeof fontStyles / sizeof fontStyles[0];
UniqueGdiObject boxFonts[FontCount];

constexpr COLORREF ProductColour = RGB(30, 30, 40);
constexpr COLORREF LinkColour = RGB(0, 0, 200);
constexpr COLORREF VersionColour = RGB(80, 80, 80);

// The dialog font as the box was created with it, and the resolution it was made for: the
// box's own fonts are made from it again at another resolution.
LOGFONTW dialogFont;
UINT dialogFontDpi = 0;

constexpr int LargeIconSize = 128; // at 96 dots per inch

void SetNoticeLine(HWND window) {
    wchar_t noticeTemplate[256] = {};
    wchar_t line[256] = {};
    wchar_t yearRange[16] = {};
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    GetDlgItemTextW(window, IDC_ABOUT_NOTICE, noticeTemplate, 256);
    FormatYearRange(now.wYear, yearRange, 16);
    FormatText(line, 256, noticeTemplate, yearRange);
    SetDlgItemTextW(window, IDC_ABOUT_NOTICE, line);
}

void SetVersionLine(HWND window) {
    wchar_t line[256] = {};
    FormatText(line, 256, LoadText(IDS_VERSION_LINE), L"" VANDREL_VERSION_TEXT, L"XP/Vista/7");
    SetDlgItemTextW(window, IDC_ABOUT_VERSION, line);
}

// Gives one control its own variant of the dialog font at dpi; on any failure it keeps the font
// it has.
void ApplyFont(HWND window, const FontStyle &style, UniqueGdiObject &owner, UINT dpi) {
    if (!dialogFontDpi)
        return;
    LOGFONTW font = dialogFont;
    font.lfHeight = style.points != 0 ? FontHeightForPoints(style.points, static_cast<int>(dpi))
                                      : MulDiv(font.lfHeight, static_cast<int>(dpi),
                                               static_cast<int>(dialogFontDpi));
    font.lfWeight = style.weight;
    font.lfItalic = 0;
    font.lfUnderline = style.underline;
    HFONT created = CreateFontIndirectW(&font);
    if (!created)
        return;
    SendDlgItemMessageW(window, style.controlId, WM_SETFONT, reinterpret_cast<WPARAM>(created),
                        FALSE);
    owner.Reset(created);
}

// Remembers the dialog font; without one (or unreadable) no control gets a font of its own.
void ReadDialogFont(HWND window, UINT dpi) {
    dialogFontDpi = 0;
    const auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    if (font && GetObjectW(font, sizeof dialogFont, &dialogFont) == sizeof dialogFont)
        dialogFontDpi = dpi;
}

// Icons and fonts of the box, made for dpi; what they replace is destroyed.
void ShowAtDpi(HWND window, UINT dpi) {
    HICON large = LoadProgramIcon(ScaleForDpi(LargeIconSize, dpi));
    SendDlgItemMessageW(window, IDC_ABOUT_ICON, STM_SETIMAGE, IMAGE_ICON,
                        reinterpret_cast<LPARAM>(large));
    largeIcon.Reset(large);
    HICON small = LoadProgramIcon(SystemMetricForDpi(SM_CXSMICON, dpi));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    smallIcon.Reset(small);
    for (size_t i = 0; i < FontCount; ++i)
        ApplyFont(window, fontStyles[i], boxFonts[i], dpi);
}

INT_PTR OnAboutDpiChanged(HWND window, UINT dpi, LPARAM suggested) {
    TakeSuggestedRect(window, suggested);
    ShowAtDpi(window, dpi);
    return TRUE;
}

COLORREF StaticTextColour(int controlId) {
    switch (controlId) {
    case IDC_ABOUT_PRODUCT:
        return ProductColour;
    case IDC_ABOUT_MAIL:
    case IDC_ABOUT_HOME:
        return LinkColour;
    case IDC_ABOUT_VERSION:
        return VersionColour;
    default:
        return GetSysColor(COLOR_WINDOWTEXT);
    }
}

INT_PTR OnAboutCommand(HWND window, WORD id) {
    if (id == IDOK)
        EndDialog(window, 1);
    else if (id == IDCANCEL)
        EndDialog(window, 0);
    return FALSE;
}

INT_PTR OnCtlColorStatic(HDC context, HWND control) {
    const int id = GetWindowLongW(control, GWL_ID);
    const COLORREF background = GetSysColor(StaticBackgroundIndex());
    return reinterpret_cast<INT_PTR>(
        PrepareStaticColours(StaticTextColour(id), context, background));
}

INT_PTR OnMouseMove(HWND window, LPARAM position) {
    UpdateLinkCursor(window, position, IDC_ABOUT_MAIL);
    UpdateLinkCursor(window, position, IDC_ABOUT_HOME);
    return FALSE;
}

INT_PTR OnAboutDestroy() {
    largeIcon.Reset();
    smallIcon.Reset();
    // The controls go right after the box and paint no more: their fonts can go now.
    for (UniqueGdiObject &font : boxFonts)
        font.Reset();
    return FALSE;
}

} // namespace

HRESULT FormatYearRange(WORD year, wchar_t *buffer, size_t capacity) {
    if (year <= NoticeFirstYear)
        return FormatText(buffer, capacity, L"%i", static_cast<int>(NoticeFirstYear));
    return FormatText(buffer, capacity, L"%i-%i", static_cast<int>(NoticeFirstYear),
                      static_cast<int>(year));
}

LONG FontHeightForPoints(int points, int dotsPerInch) {
    return -MulDiv(points, dotsPerInch, 72);
}

BOOL InitAboutDialog(HWND window) {
    SetDlgItemTextW(window, IDC_ABOUT_PRODUCT, LoadText(IDS_PRODUCT));
    SetDlgItemTextW(window, IDC_ABOUT_MAIL, LoadText(IDS_SUPPORT_MAIL));
    SetDlgItemTextW(window, IDC_ABOUT_HOME, LoadText(IDS_HOMEPAGE));
    SetNoticeLine(window);
    SetVersionLine(window);

    const UINT dpi = WindowDpi(window);
    ReadDialogFont(window, dpi);
    ShowAtDpi(window, dpi);
    return TRUE;
}

bool IsOverLink(HWND window, LPARAM position, int controlId) {
    POINT point = {static_cast<LONG>(LOWORD(position)), static_cast<LONG>(HIWORD(position))};
    ClientToScreen(window, &point);
    HWND link = GetDlgItem(window, controlId);
    RECT bounds = {};
    if (!link || !GetWindowRect(link, &bounds))
        return false;
    return bounds.left < point.x && point.x < bounds.right && bounds.top < point.y &&
           point.y < bounds.bottom;
}

void UpdateLinkCursor(HWND window, LPARAM position, int controlId) {
    HCURSOR previous = GetCursor();
    if (IsOverLink(window, position, controlId))
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
    else
        SetCursor(previous);
}

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return InitAboutDialog(window);
    case WM_COMMAND:
        return OnAboutCommand(window, LOWORD(wParam));
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(StaticBackgroundIndex()));
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_MOUSEMOVE:
        return OnMouseMove(window, lParam);
    case WM_LBUTTONDOWN:
        return HandleLinkClick(window, lParam);
    case WM_DPICHANGED:
        return OnAboutDpiChanged(window, LOWORD(wParam), lParam);
    case WM_DESTROY:
        return OnAboutDestroy();
    default:
        return FALSE;
    }
}
