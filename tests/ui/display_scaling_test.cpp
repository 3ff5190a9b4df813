// The real dialogs at the common display scalings: every text fits, no control lies outside or
// over another, the icons and fonts have the size for the resolution, also after a move to a
// monitor of another scale.
#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "about/about_dialog.h"
#include "app/job_context.h"
#include "app/text.h"
#include "common/display_support.h"
#include "common/test_support.h"
#include "res/resource.h"
#include "ui/dialog_harness.h"
#include "ui/dpi.h"

using testsupport::IconSize;

namespace {

// Windows' icon sizes at 100, 125, 150 and 200 % and the About box's icon (128 at 100 %).
struct Scaling {
    int dpi, smallIcon, bigIcon, aboutIcon;
};
constexpr Scaling scalings[] = {
    {96, 16, 32, 128}, {120, 20, 40, 160}, {144, 24, 48, 192}, {192, 32, 64, 256}};

Scaling ScalingAt(int dpi) {
    for (const Scaling &scaling : scalings)
        if (scaling.dpi == dpi)
            return scaling;
    ADD_FAILURE() << "no sizes for " << dpi << " dots per inch";
    return scalings[0];
}

HICON WindowIcon(HWND window, WPARAM which) {
    return reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, which, 0));
}

HICON StaticIcon(HWND control) {
    return reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0));
}

void ExpectIconSize(int size, HICON icon, const char *what) {
    const SIZE actual = IconSize(icon);
    EXPECT_EQ(size, actual.cx) << what;
    EXPECT_EQ(size, actual.cy) << what;
}

HWND CreateAboutBox() {
    return CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_ABOUT), nullptr, AboutDialogProc,
                              0);
}

HFONT FontOf(HWND window) {
    return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
}

LONG FontHeight(HWND window) {
    LOGFONTW font = {};
    GetObjectW(FontOf(window), sizeof font, &font);
    return font.lfHeight;
}

// What Windows sends a window moved to a monitor of another scale.
void MoveToScale(HWND window, UINT dpi, const RECT &suggested) {
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

RECT WindowRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

// The rectangle Windows would suggest at twice the scale: the same corner, twice the size.
RECT Doubled(const RECT &rect) {
    return {rect.left, rect.top, rect.left + 2 * (rect.right - rect.left),
            rect.top + 2 * (rect.bottom - rect.top)};
}

void ExpectRect(const RECT &expected, HWND window) {
    const RECT actual = WindowRect(window);
    EXPECT_TRUE(EqualRect(&expected, &actual))
        << actual.left << "," << actual.top << " " << actual.right << "," << actual.bottom;
}

void ExpectIconsDestroyed(const std::vector<HICON> &icons) {
    ICONINFO info = {};
    for (HICON icon : icons) {
        EXPECT_NE(nullptr, icon);
        EXPECT_FALSE(GetIconInfo(icon, &info)) << "a replaced icon still exists";
    }
}

// Wine answers 0 here; on Windows the counts catch any handle left behind by the changes.
struct HandleLevel {
    DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    void ExpectNotAbove() const {
        EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi);
        EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user);
    }
};

INT_PTR CALLBACK TemplateOnlyProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// The longest texts the program puts into the shifts and the status line, for ExpectNoCaptionCut.
void FillLongestTexts(uitest::MainDialogRun &run) {
    for (int id : {IDC_SHIFT_CREATED, IDC_SHIFT_MODIFIED, IDC_SHIFT_ACCESSED})
        SetWindowTextW(run.Item(id), L"\u2212365 d 23 h");
    wchar_t changed[TextSlotCapacity], withoutDate[TextSlotCapacity];
    FormatText(changed, TextSlotCapacity, LoadText(IDS_STATUS_CHANGED), 999999u, 999999u);
    FormatText(withoutDate, TextSlotCapacity, LoadText(IDS_STATUS_NO_DATE), 999999u);
    SetWindowTextW(run.Item(IDC_STATUS), (std::wstring(changed) + withoutDate).c_str());
}

// Every rule fits the closed list's field (the dropped list is as wide as the whole control).
void ExpectRulesFit(HWND combo) {
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(combo, &info));
    const UINT rules[] = {IDS_RULE_SET,          IDS_RULE_SHIFT,      IDS_RULE_COPY_MODIFIED,
                          IDS_RULE_COPY_CREATED, IDS_RULE_DATE_TAKEN, IDS_RULE_NAME_DATE};
    HDC context = GetDC(combo);
    const HGDIOBJ previous = SelectObject(context, FontOf(combo));
    const int margins = MulDiv(4, testsupport::ScreenDpi(), 96);
    for (UINT id : rules) {
        const std::wstring rule = LoadText(id);
        SIZE extent = {};
        GetTextExtentPoint32W(context, rule.c_str(), static_cast<int>(rule.size()), &extent);
        EXPECT_LE(extent.cx + margins, info.rcItem.right - info.rcItem.left) << "rule " << id;
    }
    SelectObject(context, previous);
    ReleaseDC(combo, context);
}

constexpr int restyled[] = {IDC_ABOUT_PRODUCT, IDC_ABOUT_MAIL, IDC_ABOUT_HOME, IDC_ABOUT_VERSION,
                            IDC_ABOUT_INFO};

} // namespace

// Runs at the prefix's 96 dots per inch, and at the other scalings in the children started by
// the test after it.
TEST(DisplayScalingAnyLanguage, EveryDialogFitsTheScreensResolution) {
    const int dpi = testsupport::ExpectedDpi();
    ASSERT_EQ(dpi, testsupport::ScreenDpi());
    const Scaling sizes = ScalingAt(dpi);
    {
        SCOPED_TRACE("main dialog");
        uitest::MainDialogRun run;
        const HWND main = run.Window();
        ASSERT_NE(nullptr, main);
        FillLongestTexts(run);
        testsupport::ExpectNoCaptionCut(main);
        testsupport::ExpectControlsInside(main);
        testsupport::ExpectNoControlsOverlap(main);
        ExpectRulesFit(run.Item(IDC_RULE));
        ExpectIconSize(sizes.smallIcon, WindowIcon(main, ICON_SMALL), "small window icon");
        ExpectIconSize(sizes.bigIcon, WindowIcon(main, ICON_BIG), "big window icon");
        ExpectIconSize(sizes.bigIcon, StaticIcon(run.Item(IDC_TARGET_ICON)), "target icon");
    }
    {
        SCOPED_TRACE("preview window");
        const HWND preview = CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_PREVIEW), nullptr,
                                                TemplateOnlyProc, 0);
        ASSERT_NE(nullptr, preview);
        testsupport::ExpectNoCaptionCut(preview);
        testsupport::ExpectControlsInside(preview);
        testsupport::ExpectNoControlsOverlap(preview);
        DestroyWindow(preview);
    }
    SCOPED_TRACE("About box");
    const HWND about = CreateAboutBox();
    ASSERT_NE(nullptr, about);
    testsupport::ExpectNoCaptionCut(about);
    testsupport::ExpectControlsInside(about);
    ExpectIconSize(sizes.aboutIcon, StaticIcon(GetDlgItem(about, IDC_ABOUT_ICON)), "program icon");
    ExpectIconSize(sizes.smallIcon, WindowIcon(about, ICON_SMALL), "small window icon");
    DestroyWindow(about);
}

TEST(DisplayScalingAnyLanguage, EveryDialogFitsAt120And144And192DotsPerInch) {
    for (DWORD dpi : {120, 144, 192})
        EXPECT_EQ(0, testsupport::RunSelfAtDpi(
                         dpi, L"DisplayScalingAnyLanguage.EveryDialogFitsTheScreensResolution"))
            << dpi << " dots per inch (the child's output says what failed)";
    EXPECT_EQ(96, testsupport::ScreenDpi()) << "this process keeps its resolution";
}

TEST(DisplayScalingChange, MainDialogTakesTheRectangleAndIconsOfTheNewScale) {
    ASSERT_EQ(96, testsupport::ScreenDpi());
    uitest::MainDialogRun run;
    const HWND main = run.Window();
    ASSERT_NE(nullptr, main);
    const auto icons = [&] {
        return std::vector<HICON>{WindowIcon(main, ICON_SMALL), WindowIcon(main, ICON_BIG),
                                  StaticIcon(run.Item(IDC_TARGET_ICON))};
    };
    const RECT original = WindowRect(main);
    const std::vector<HICON> at96 = icons();
    const HandleLevel level;

    MoveToScale(main, 192, Doubled(original));
    ExpectRect(Doubled(original), main);
    const std::vector<HICON> at192 = icons();
    ExpectIconSize(32, at192[0], "small window icon");
    ExpectIconSize(64, at192[1], "big window icon");
    ExpectIconSize(64, at192[2], "target icon");
    ExpectIconsDestroyed(at96);

    MoveToScale(main, 96, original);
    ExpectRect(original, main);
    ExpectIconSize(16, WindowIcon(main, ICON_SMALL), "small window icon");
    ExpectIconSize(32, WindowIcon(main, ICON_BIG), "big window icon");
    ExpectIconSize(32, StaticIcon(run.Item(IDC_TARGET_ICON)), "target icon");
    ExpectIconsDestroyed(at192);
    level.ExpectNotAbove();
}

TEST(DisplayScalingChange, AboutBoxTakesTheRectangleFontsAndIconsOfTheNewScale) {
    ASSERT_EQ(96, testsupport::ScreenDpi());
    const HWND about = CreateAboutBox();
    ASSERT_NE(nullptr, about);
    const auto icons = [&] {
        return std::vector<HICON>{StaticIcon(GetDlgItem(about, IDC_ABOUT_ICON)),
                                  WindowIcon(about, ICON_SMALL)};
    };
    const auto fonts = [&] {
        std::vector<HFONT> handles;
        for (int id : restyled)
            handles.push_back(FontOf(GetDlgItem(about, id)));
        return handles;
    };
    const LONG dialogFontHeight = FontHeight(about);
    const RECT original = WindowRect(about);
    const std::vector<HICON> iconsAt96 = icons();
    const std::vector<HFONT> fontsAt96 = fonts();
    const HandleLevel level;

    MoveToScale(about, 192, Doubled(original));
    ExpectRect(Doubled(original), about);
    ExpectIconSize(256, StaticIcon(GetDlgItem(about, IDC_ABOUT_ICON)), "program icon");
    ExpectIconSize(32, WindowIcon(about, ICON_SMALL), "small window icon");
    ExpectIconsDestroyed(iconsAt96);
    EXPECT_EQ(-32, FontHeight(GetDlgItem(about, IDC_ABOUT_PRODUCT))); // 12 points
    EXPECT_EQ(-19, FontHeight(GetDlgItem(about, IDC_ABOUT_INFO)));    // 7 points
    EXPECT_EQ(2 * dialogFontHeight, FontHeight(GetDlgItem(about, IDC_ABOUT_MAIL)));
    EXPECT_EQ(2 * dialogFontHeight, FontHeight(GetDlgItem(about, IDC_ABOUT_VERSION)));
    for (HFONT font : fontsAt96)
        EXPECT_EQ(0u, GetObjectType(font)) << "a replaced font still exists";

    MoveToScale(about, 96, original);
    ExpectRect(original, about);
    ExpectIconSize(128, StaticIcon(GetDlgItem(about, IDC_ABOUT_ICON)), "program icon");
    ExpectIconSize(16, WindowIcon(about, ICON_SMALL), "small window icon");
    EXPECT_EQ(-16, FontHeight(GetDlgItem(about, IDC_ABOUT_PRODUCT)));
    EXPECT_EQ(dialogFontHeight, FontHeight(GetDlgItem(about, IDC_ABOUT_HOME)));
    level.ExpectNotAbove();
    DestroyWindow(about);
}
