// The About box from its real template: texts, icons, fonts, colours, the link hit test and the
// hand cursor, the results of its ways out, and what it leaves behind.
#include <windows.h>

#include <uxtheme.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "about/about_dialog.h"
#include "about/about_test_support.h"
#include "app/job_context.h"
#include "app/text.h"
#include "common/display_support.h"
#include "common/test_support.h"
#include "res/resource.h"

using abouttest::ModalAboutBox;
using abouttest::ModelessAboutBox;
using testsupport::WindowText;

namespace {

std::wstring YearRangeFor(WORD year) {
    wchar_t range[16] = {};
    EXPECT_EQ(S_OK, FormatYearRange(year, range, 16));
    return range;
}

std::wstring CurrentYearRange() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    return L"2000-" + std::to_wstring(now.wYear);
}

LOGFONTW FontOf(HWND window) {
    LOGFONTW font = {};
    const auto handle = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    EXPECT_NE(nullptr, handle);
    EXPECT_EQ(static_cast<int>(sizeof font), GetObjectW(handle, sizeof font, &font));
    return font;
}

HFONT FontHandleOf(HWND window) {
    return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
}

// What a static asks its parent before it paints: the text colour, background and brush.
struct StaticColours {
    COLORREF text;
    COLORREF background;
    HBRUSH brush;
};
StaticColours AskColours(HWND box, HWND control) {
    HDC context = GetDC(control);
    StaticColours colours = {};
    colours.brush = reinterpret_cast<HBRUSH>(SendMessageW(box, WM_CTLCOLORSTATIC,
                                                          reinterpret_cast<WPARAM>(context),
                                                          reinterpret_cast<LPARAM>(control)));
    colours.text = GetTextColor(context);
    colours.background = GetBkColor(context);
    ReleaseDC(control, context);
    return colours;
}

COLORREF BrushColour(HBRUSH brush) {
    LOGBRUSH description = {};
    GetObjectW(brush, sizeof description, &description);
    return description.lbColor;
}

// The background the box should have in this process: the window colour only with visual
// styles on Vista and later, the button face otherwise.
COLORREF ExpectedBackground() {
    return GetSysColor((IsThemeActive() && IsVistaOrLater()) ? COLOR_WINDOW : COLOR_BTNFACE);
}

} // namespace

// ---- the rules behind the texts and fonts ----

TEST(AboutBoxRules, YearRangeIsTheFirstYearAloneUpTo2000) {
    EXPECT_EQ(L"2000", YearRangeFor(1999));
    EXPECT_EQ(L"2000", YearRangeFor(2000));
    EXPECT_EQ(L"2000", YearRangeFor(1601));
}

TEST(AboutBoxRules, YearRangeRunsFrom2000ToTheYearAfterwards) {
    EXPECT_EQ(L"2000-2001", YearRangeFor(2001));
    EXPECT_EQ(L"2000-2010", YearRangeFor(2010));
    EXPECT_EQ(L"2000-30827", YearRangeFor(30827)); // the last year a SYSTEMTIME can hold
}

TEST(AboutBoxRules, FontHeightsFollowDotsPerInchRoundedToNearest) {
    EXPECT_EQ(-16, FontHeightForPoints(12, 96));
    EXPECT_EQ(-9, FontHeightForPoints(7, 96)); // 9.33
    EXPECT_EQ(-20, FontHeightForPoints(12, 120));
    EXPECT_EQ(-12, FontHeightForPoints(7, 120)); // 11.67
}

// ---- the box as it shows ----

TEST(AboutBox, ShowsEveryTextOfThePolishBox) {
    ModelessAboutBox box;
    ASSERT_NE(nullptr, box.Get());
    EXPECT_EQ(L"O programie...", WindowText(box.Get()));
    EXPECT_EQ(L"Vandrel", WindowText(box.Item(IDC_ABOUT_PRODUCT)));
    EXPECT_EQ(L"Copyright \u00a9 " + CurrentYearRange() + L" autorzy Vandrela",
              WindowText(box.Item(IDC_ABOUT_NOTICE)));
    EXPECT_EQ(L"Pisz na adres:", WindowText(box.Item(IDC_ABOUT_MAIL_LABEL)));
    const std::wstring address = WindowText(box.Item(IDC_ABOUT_MAIL));
    EXPECT_EQ(abouttest::SupportAddress(), address);
    EXPECT_NE(std::wstring::npos, address.find(L'@')) << "a plain address";
    EXPECT_EQ(std::wstring::npos, address.find(L':')) << "no scheme";
    EXPECT_EQ(L"Strona domowa:", WindowText(box.Item(IDC_ABOUT_HOME_LABEL)));
    const std::wstring homepage = WindowText(box.Item(IDC_ABOUT_HOME));
    EXPECT_EQ(abouttest::Homepage(), homepage);
    EXPECT_EQ(0u, homepage.find(L"http")) << "a web address";
    EXPECT_EQ(L"Wersja 2.0.3680.7000 dla Windows XP/Vista/7",
              WindowText(box.Item(IDC_ABOUT_VERSION)));
    EXPECT_EQ(L"Dodatkowe informacje:", WindowText(box.Item(IDC_ABOUT_INFO_GROUP)));
    EXPECT_EQ(0u, WindowText(box.Item(IDC_ABOUT_INFO)).find(L"Vandrel jest programem darmowym"));
    EXPECT_EQ(L"&OK", WindowText(box.Item(IDOK)));
}

TEST(AboutBoxChinese, ShowsTheChineseTextsWithTheSameFilling) {
    ASSERT_TRUE(testsupport::IsChineseUi());
    ModelessAboutBox box;
    ASSERT_NE(nullptr, box.Get());
    EXPECT_EQ(std::wstring(LoadText(IDS_PRODUCT)), WindowText(box.Item(IDC_ABOUT_PRODUCT)));
    EXPECT_EQ(0u, WindowText(box.Item(IDC_ABOUT_PRODUCT)).find(L"Vandrel v2.0"));
    EXPECT_EQ(L"Version 2.0.3680.7000 for Windows XP/Vista/7",
              WindowText(box.Item(IDC_ABOUT_VERSION)));
    const std::wstring notice = WindowText(box.Item(IDC_ABOUT_NOTICE));
    EXPECT_NE(std::wstring::npos, notice.find(CurrentYearRange())) << notice.c_str();
    EXPECT_EQ(std::wstring::npos, notice.find(L'%'));
    EXPECT_EQ(abouttest::SupportAddress(), WindowText(box.Item(IDC_ABOUT_MAIL)));
    EXPECT_EQ(abouttest::Homepage(), WindowText(box.Item(IDC_ABOUT_HOME)));
    EXPECT_EQ(1, FontOf(box.Item(IDC_ABOUT_HOME)).lfUnderline);
}

TEST(AboutBoxEnglish, ShowsTheEnglishTextsWithTheSameFilling) {
    ASSERT_TRUE(testsupport::IsEnglishUi());
    ModelessAboutBox box;
    ASSERT_NE(nullptr, box.Get());
    EXPECT_EQ(L"About...", WindowText(box.Get()));
    EXPECT_EQ(L"Vandrel", WindowText(box.Item(IDC_ABOUT_PRODUCT)));
    EXPECT_EQ(L"Copyright \u00a9 " + CurrentYearRange() + L" the Vandrel authors",
              WindowText(box.Item(IDC_ABOUT_NOTICE)));
    EXPECT_EQ(L"E-mail:", WindowText(box.Item(IDC_ABOUT_MAIL_LABEL)));
    EXPECT_EQ(abouttest::SupportAddress(), WindowText(box.Item(IDC_ABOUT_MAIL)));
    EXPECT_EQ(L"Home page:", WindowText(box.Item(IDC_ABOUT_HOME_LABEL)));
    EXPECT_EQ(abouttest::Homepage(), WindowText(box.Item(IDC_ABOUT_HOME)));
    EXPECT_EQ(L"Version 2.0.3680.7000 for Windows XP/Vista/7",
              WindowText(box.Item(IDC_ABOUT_VERSION)));
    EXPECT_EQ(L"Additional information:", WindowText(box.Item(IDC_ABOUT_INFO_GROUP)));
    EXPECT_EQ(0u, WindowText(box.Item(IDC_ABOUT_INFO)).find(L"Vandrel is freeware."));
    EXPECT_EQ(1, FontOf(box.Item(IDC_ABOUT_MAIL)).lfUnderline);
}

TEST(AboutBox, ShowsTheIconAt128AndTakesItAt16AsItsSmallWindowIcon) {
    ModelessAboutBox box;
    ASSERT_NE(nullptr, box.Get());
    const auto large = reinterpret_cast<HICON>(
        SendDlgItemMessageW(box.Get(), IDC_ABOUT_ICON, STM_GETIMAGE, IMAGE_ICON, 0));
    const SIZE largeSize = testsupport::IconSize(large);
    EXPECT_EQ(128, largeSize.cx);
    EXPECT_EQ(128, largeSize.cy);
    const auto small = reinterpret_cast<HICON>(SendMessageW(box.Get(), WM_GETICON, ICON_SMALL, 0));
    const SIZE smallSize = testsupport::IconSize(small);
    EXPECT_EQ(16, smallSize.cx);
    EXPECT_EQ(16, smallSize.cy);
    EXPECT_EQ(nullptr, reinterpret_cast<HICON>(SendMessageW(box.Get(), WM_GETICON, ICON_BIG, 0)));
}

TEST(AboutBox, GivesProductLinksVersionAndParagraphTheirOwnFonts) {
    ASSERT_EQ(96, testsupport::ScreenDpi()) << "the prefix is expected at 96 dots per inch";
    ModelessAboutBox box;
    ASSERT_NE(nullptr, box.Get());
    const LOGFONTW dialog = FontOf(box.Get());

    const LOGFONTW product = FontOf(box.Item(IDC_ABOUT_PRODUCT));
    EXPECT_EQ(-16, product.lfHeight);
    EXPECT_EQ(700, product.lfWeight);
    EXPECT_EQ(0, product.lfItalic);
    EXPECT_EQ(0, product.lfUnderline);
    EXPECT_STREQ(dialog.lfFaceName, product.lfFaceName);

    for (int link : {IDC_ABOUT_MAIL, IDC_ABOUT_HOME}) {
        const LOGFONTW font = FontOf(box.Item(link));
        EXPECT_EQ(dialog.lfHeight, font.lfHeight) << link;
        EXPECT_EQ(400, font.lfWeight) << link;
        EXPECT_EQ(0, font.lfItalic) << link;
        EXPECT_EQ(1, font.lfUnderline) << link;
        EXPECT_STREQ(dialog.lfFaceName, font.lfFaceName) << link;
    }

    const LOGFONTW version = FontOf(box.Item(IDC_ABOUT_VERSION));
    EXPECT_EQ(dialog.lfHeight, version.lfHeight);
    EXPECT_EQ(700, version.lfWeight);
    EXPECT_EQ(0, version.lfUnderline);

    const LOGFONTW paragraph = FontOf(box.Item(IDC_ABOUT_INFO));
    EXPECT_EQ(-9, paragraph.lfHeight);
    EXPECT_EQ(400, paragraph.lfWeight);
    EXPECT_EQ(0, paragraph.lfUnderline);
    EXPECT_EQ(dialog.lfCharSet, paragraph.lfCharSet);

    // Each restyled control has a font of its own; the rest keep the dialog font.
    const std::vector<HFONT> own = {
        FontHandleOf(box.Item(IDC_ABOUT_PRODUCT)), FontHandleOf(box.Item(IDC_ABOUT_MAIL)),
        FontHandleOf(box.Item(IDC_ABOUT_HOME)), FontHandleOf(box.Item(IDC_ABOUT_VERSION)),
        FontHandleOf(box.Item(IDC_ABOUT_INFO))};
    const HFONT dialogFont = FontHandleOf(box.Get());
    for (size_t i = 0; i < own.size(); ++i) {
        EXPECT_NE(dialogFont, own[i]);
        for (size_t j = i + 1; j < own.size(); ++j)
            EXPECT_NE(own[i], own[j]);
    }
    for (int plain : {IDC_ABOUT_NOTICE, IDC_ABOUT_MAIL_LABEL, IDC_ABOUT_HOME_LABEL, IDOK})
        EXPECT_EQ(dialogFont, FontHandleOf(box.Item(plain))) << plain;
}

// Run by itself in a child process at another resolution (see AboutBoxScreenResolution): the
// expected dots per inch come from VANDREL_EXPECTED_DPI, 96 when it is not set.
TEST(AboutBoxFonts, HeightsOfProductLineAndParagraphFollowTheScreen) {
    const int dpi = testsupport::ExpectedDpi();
    ASSERT_EQ(dpi, testsupport::ScreenDpi());
    ModelessAboutBox box;
    ASSERT_NE(nullptr, box.Get());
    EXPECT_EQ(dpi == 120 ? -20 : -16, FontOf(box.Item(IDC_ABOUT_PRODUCT)).lfHeight);
    EXPECT_EQ(dpi == 120 ? -12 : -9, FontOf(box.Item(IDC_ABOUT_INFO)).lfHeight);
}

TEST(AboutBoxScreenResolution, ProductLineAndParagraphGrowAt120DotsPerInch) {
    // The prefix's resolution setting is read when a process starts: the font check above runs
    // again in a new copy of this program, with the setting at 120 for as long as it runs.
    const int exitCode = testsupport::RunSelfAtDpi(
        120, L"AboutBoxFonts.HeightsOfProductLineAndParagraphFollowTheScreen");
    EXPECT_EQ(0, exitCode) << "the box at 120 dots per inch: product line -20, paragraph -12";
    EXPECT_EQ(96, testsupport::ScreenDpi()) << "this process keeps its resolution";
}

TEST(AboutBox, AnswersEachStaticWithItsTextColourOnTheSystemBackground) {
    ModelessAboutBox box;
    ASSERT_NE(nullptr, box.Get());
    const COLORREF background = ExpectedBackground();
    const COLORREF windowText = GetSysColor(COLOR_WINDOWTEXT);
    const struct {
        int id;
        COLORREF text;
    } cases[] = {
        {IDC_ABOUT_PRODUCT, RGB(30, 30, 40)}, {IDC_ABOUT_MAIL, RGB(0, 0, 200)},
        {IDC_ABOUT_HOME, RGB(0, 0, 200)},     {IDC_ABOUT_VERSION, RGB(80, 80, 80)},
        {IDC_ABOUT_NOTICE, windowText},       {IDC_ABOUT_MAIL_LABEL, windowText},
        {IDC_ABOUT_HOME_LABEL, windowText},   {IDC_ABOUT_INFO, windowText},
        {IDC_ABOUT_INFO_GROUP, windowText},   {IDC_ABOUT_ICON, windowText},
    };
    HBRUSH first = nullptr;
    for (const auto &c : cases) {
        const StaticColours colours = AskColours(box.Get(), box.Item(c.id));
        EXPECT_EQ(c.text, colours.text) << c.id;
        EXPECT_EQ(background, colours.background) << c.id;
        ASSERT_NE(nullptr, colours.brush) << c.id;
        EXPECT_EQ(background, BrushColour(colours.brush)) << c.id;
        // One brush for the one background, however often the statics repaint.
        if (!first)
            first = colours.brush;
        EXPECT_EQ(first, colours.brush) << c.id;
    }
    const auto dialogBrush =
        reinterpret_cast<HBRUSH>(SendMessageW(box.Get(), WM_CTLCOLORDLG, 0, 0));
    EXPECT_EQ(
        GetSysColorBrush((IsThemeActive() && IsVistaOrLater()) ? COLOR_WINDOW : COLOR_BTNFACE),
        dialogBrush);
}

TEST(AboutBoxWinXp, HasTheButtonFaceBackgroundOnWindowsXp) {
    ASSERT_FALSE(IsVistaOrLater());
    ModelessAboutBox box;
    ASSERT_NE(nullptr, box.Get());
    const StaticColours colours = AskColours(box.Get(), box.Item(IDC_ABOUT_MAIL));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), colours.background);
    EXPECT_EQ(RGB(0, 0, 200), colours.text);
    EXPECT_EQ(GetSysColorBrush(COLOR_BTNFACE),
              reinterpret_cast<HBRUSH>(SendMessageW(box.Get(), WM_CTLCOLORDLG, 0, 0)));
}

TEST(AboutBox, CountsALinkOnlyStrictlyInsideItsWindowRectangle) {
    ModelessAboutBox box;
    ASSERT_NE(nullptr, box.Get());
    for (int link : {IDC_ABOUT_MAIL, IDC_ABOUT_HOME}) {
        const RECT r = box.ClientRectOf(link);
        const int midX = (r.left + r.right) / 2;
        const int midY = (r.top + r.bottom) / 2;
        const auto over = [&](int x, int y) {
            return IsOverLink(box.Get(), ModelessAboutBox::Position(x, y), link);
        };
        EXPECT_FALSE(over(r.left, midY)) << link;      // first column
        EXPECT_TRUE(over(r.left + 1, midY)) << link;   // one pixel in
        EXPECT_FALSE(over(midX, r.top)) << link;       // first row
        EXPECT_TRUE(over(midX, r.top + 1)) << link;    // one pixel in
        EXPECT_TRUE(over(r.right - 1, midY)) << link;  // last column
        EXPECT_FALSE(over(r.right, midY)) << link;     // beside it
        EXPECT_TRUE(over(midX, r.bottom - 1)) << link; // last row
        EXPECT_FALSE(over(midX, r.bottom)) << link;    // below it
        EXPECT_FALSE(over(r.left - 1, r.top - 1)) << link;
    }
    // The labels in front of the links are not links.
    for (int label : {IDC_ABOUT_MAIL_LABEL, IDC_ABOUT_HOME_LABEL}) {
        const RECT r = box.ClientRectOf(label);
        const LPARAM centre =
            ModelessAboutBox::Position((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        EXPECT_FALSE(IsOverLink(box.Get(), centre, IDC_ABOUT_MAIL)) << label;
        EXPECT_FALSE(IsOverLink(box.Get(), centre, IDC_ABOUT_HOME)) << label;
    }
}

TEST(AboutBox, ShowsTheHandOnlyStrictlyInsideALink) {
    ModelessAboutBox box;
    ASSERT_NE(nullptr, box.Get());
    const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    ASSERT_NE(arrow, hand);
    // Before each move the default handling of WM_SETCURSOR puts the arrow back.
    const auto cursorAfterMoveTo = [&](int x, int y) {
        SetCursor(arrow);
        SendMessageW(box.Get(), WM_MOUSEMOVE, 0, ModelessAboutBox::Position(x, y));
        return GetCursor();
    };
    for (int link : {IDC_ABOUT_MAIL, IDC_ABOUT_HOME}) {
        const RECT r = box.ClientRectOf(link);
        const int midX = (r.left + r.right) / 2;
        const int midY = (r.top + r.bottom) / 2;
        EXPECT_EQ(arrow, cursorAfterMoveTo(r.left, midY)) << link;
        EXPECT_EQ(hand, cursorAfterMoveTo(r.left + 1, midY)) << link;
        EXPECT_EQ(arrow, cursorAfterMoveTo(midX, r.top)) << link;
        EXPECT_EQ(hand, cursorAfterMoveTo(midX, r.top + 1)) << link;
        EXPECT_EQ(hand, cursorAfterMoveTo(midX, midY)) << link;
    }
    for (int label : {IDC_ABOUT_MAIL_LABEL, IDC_ABOUT_HOME_LABEL, IDC_ABOUT_PRODUCT}) {
        const RECT r = box.ClientRectOf(label);
        EXPECT_EQ(arrow, cursorAfterMoveTo((r.left + r.right) / 2, (r.top + r.bottom) / 2))
            << label;
    }
    // Without a WM_SETCURSOR in between, a move off the link keeps whatever cursor is current.
    SetCursor(hand);
    SendMessageW(box.Get(), WM_MOUSEMOVE, 0, ModelessAboutBox::Position(2, 2));
    EXPECT_EQ(hand, GetCursor());
}

TEST(AboutBox, ShowsTheHandWhenThePointerReallyMovesOverALink) {
    ModelessAboutBox box;
    ASSERT_NE(nullptr, box.Get());
    SetForegroundWindow(box.Get());
    const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
    RECT link = {};
    GetWindowRect(box.Item(IDC_ABOUT_HOME), &link);
    RECT label = {};
    GetWindowRect(box.Item(IDC_ABOUT_HOME_LABEL), &label);

    // The link statics let the pointer through to the box, which sets the cursor itself.
    SetCursorPos((label.left + label.right) / 2, (label.top + label.bottom) / 2);
    testsupport::PumpUntil([] { return false; }, 200);
    EXPECT_NE(hand, GetCursor());
    SetCursorPos((link.left + link.right) / 2, (link.top + link.bottom) / 2);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return GetCursor() == hand; }, 2000));
    SetCursorPos((label.left + label.right) / 2, (label.top + label.bottom) / 2);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return GetCursor() != hand; }, 2000));
}

// ---- ways out, reopening, resources ----

TEST(AboutBoxModal, EscapeEndsTheBoxWithZero) {
    ModalAboutBox box;
    HWND window = box.WaitUntilShown();
    ASSERT_NE(nullptr, window);
    // The focus starts on OK; the dialog manager turns Esc into Cancel.
    PostMessageW(GetDlgItem(window, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(0, box.Result());
}

TEST(AboutBoxModal, EnterAndOkEndTheBoxWithOne) {
    {
        ModalAboutBox box;
        HWND window = box.WaitUntilShown();
        ASSERT_NE(nullptr, window);
        PostMessageW(GetDlgItem(window, IDOK), WM_KEYDOWN, VK_RETURN, 0);
        EXPECT_EQ(1, box.Result());
    }
    {
        ModalAboutBox box;
        HWND window = box.WaitUntilShown();
        ASSERT_NE(nullptr, window);
        SendMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
        EXPECT_EQ(1, box.Result());
    }
}

TEST(AboutBoxModal, CloseBoxEndsTheBoxWithZeroAndOtherCommandsDoNothing) {
    ModalAboutBox box;
    HWND window = box.WaitUntilShown();
    ASSERT_NE(nullptr, window);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_MAIL, STN_CLICKED), 0);
    SendMessageW(window, WM_COMMAND, 1019, 0);
    EXPECT_EQ(-2, box.Result(100)) << "only OK and Cancel end the box";
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0, box.Result());
}

TEST(AboutBoxModal, DisablesItsOwnerWhileOpenAndShowsTheSameOnASecondOpening) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, owner);
    std::vector<std::wstring> first;
    for (int opening = 0; opening < 2; ++opening) {
        ModalAboutBox box(owner);
        HWND window = box.WaitUntilShown();
        ASSERT_NE(nullptr, window);
        EXPECT_EQ(owner, GetWindow(window, GW_OWNER));
        EXPECT_FALSE(IsWindowEnabled(owner));
        std::vector<std::wstring> texts;
        for (int id : {IDC_ABOUT_PRODUCT, IDC_ABOUT_NOTICE, IDC_ABOUT_MAIL, IDC_ABOUT_HOME,
                       IDC_ABOUT_VERSION, IDC_ABOUT_INFO})
            texts.push_back(WindowText(GetDlgItem(window, id)));
        EXPECT_EQ(1, FontOf(GetDlgItem(window, IDC_ABOUT_MAIL)).lfUnderline);
        EXPECT_EQ(700, FontOf(GetDlgItem(window, IDC_ABOUT_PRODUCT)).lfWeight);
        if (opening == 0)
            first = texts;
        else
            EXPECT_EQ(first, texts);
        // The year range is read anew: the second box shows it filled, not the template.
        EXPECT_EQ(std::wstring::npos, texts[1].find(L"%s"));
        PostMessageW(window, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(1, box.Result());
        EXPECT_TRUE(IsWindowEnabled(owner));
    }
    DestroyWindow(owner);
}

TEST(AboutBoxModal, LeavesNoFontsIconsOrBrushesBehindOverTenOpenings) {
    struct Leftovers {
        std::vector<HGDIOBJ> fonts;
        std::vector<HICON> icons;
        std::vector<HBRUSH> brushes;
    };
    const auto openAndClose = [](Leftovers *seen) {
        ModalAboutBox box;
        HWND window = box.WaitUntilShown();
        ASSERT_NE(nullptr, window);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        for (int id :
             {IDC_ABOUT_PRODUCT, IDC_ABOUT_MAIL, IDC_ABOUT_HOME, IDC_ABOUT_VERSION, IDC_ABOUT_INFO})
            seen->fonts.push_back(FontHandleOf(GetDlgItem(window, id)));
        seen->icons.push_back(reinterpret_cast<HICON>(
            SendDlgItemMessageW(window, IDC_ABOUT_ICON, STM_GETIMAGE, IMAGE_ICON, 0)));
        seen->icons.push_back(
            reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0)));
        for (int id : {IDC_ABOUT_PRODUCT, IDC_ABOUT_MAIL, IDC_ABOUT_INFO})
            seen->brushes.push_back(AskColours(window, GetDlgItem(window, id)).brush);
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        ASSERT_EQ(0, box.Result());
    };
    Leftovers seen;
    openAndClose(&seen); // the first opening may create the background brush
    // Wine answers 0 here; on Windows these counts catch any handle the box leaves behind.
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    for (int i = 0; i < 10; ++i)
        openAndClose(&seen);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userBefore);

    // Whatever the platform counts: every font and icon of every box is gone with its box...
    ASSERT_EQ(55u, seen.fonts.size());
    for (HGDIOBJ font : seen.fonts) {
        EXPECT_NE(nullptr, font);
        EXPECT_EQ(0u, GetObjectType(font)) << font;
    }
    ICONINFO info = {};
    for (HICON icon : seen.icons) {
        EXPECT_NE(nullptr, icon);
        EXPECT_FALSE(GetIconInfo(icon, &info)) << icon;
    }
    // ...and all statics of all boxes painted with one brush, which stays valid.
    for (HBRUSH brush : seen.brushes)
        EXPECT_EQ(seen.brushes.front(), brush);
    EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(seen.brushes.front()));
}
