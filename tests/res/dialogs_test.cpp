// The dialog templates in all three languages, parsed from the built program: every control with
// its identifier, class, style, rectangle, text and place in the tab order.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "res/resource.h"
#include "resource_reader.h"

namespace {

constexpr LANGID Polish = 0x0415;
constexpr LANGID Chinese = 0x0004;
constexpr LANGID English = 0x0409;
constexpr int ProgramIcon = -2; // marks the text "icon resource 1" (an ordinal) in the tables

constexpr DWORD Shown = WS_CHILD | WS_VISIBLE;
constexpr DWORD PushButton = Shown | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD CheckBox = Shown | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD GroupBox = Shown | BS_GROUPBOX;
constexpr DWORD Picker = Shown | DTS_UPDOWN | DTS_SHOWNONE | DTS_RIGHTALIGN | WS_TABSTOP;
constexpr DWORD RuleList = Shown | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD Label = Shown | SS_RIGHT | WS_GROUP;
constexpr DWORD Line = Shown | SS_LEFTNOWORDWRAP | WS_GROUP;

struct Control {
    int id;
    const wchar_t *className;
    DWORD style;
    short x, y, cx, cy;
    const wchar_t *text; // nullptr: the program icon by number
};

// The main dialog in tab order, as the Polish user sees it, without the rule row (see RuleRow).
const std::vector<Control> polishMain = {
    {1019, L"button", PushButton, 6, 256, 60, 15, L"O programie..."},
    {-1, L"static", Shown | SS_ICON, 12, 10, 20, 20, nullptr},
    {1053, L"static", Shown | SS_LEFT, 45, 8, 228, 24,
     L"Program Vandrel dokona zmiany daty i czasu utworzenia, modyfikacji oraz ostatniego otwarcia "
     L"pliku lub datę i czas utworzenia katalogu według poniższych informacji."},
    {1051, L"button", GroupBox, 6, 40, 267, 96, L"Zastosuj do:"},
    {1001, L"static", Shown | SS_ICON, 20, 55, 20, 20, L""},
    {1002, L"static", Shown | SS_LEFT | WS_GROUP, 60, 55, 140, 8, L""},
    {1003, L"static", Shown | SS_LEFT | WS_GROUP, 60, 67, 205, 8, L""},
    {1004, L"button", PushButton, 205, 51, 60, 15, L"Przeglądaj..."},
    {1005, L"static", Shown | SS_SIMPLE, 14, 80, 60, 8, L"Lokalizacja:"},
    {1006, L"edit", Shown | ES_AUTOHSCROLL | ES_READONLY | WS_TABSTOP, 12, 90, 255, 12, L""},
    {1011, L"button", CheckBox, 14, 108, 251, 10, L"Zastosuj do wszystkich plików tego typu (*%s)"},
    {1010, L"button", CheckBox, 14, 120, 251, 10, L"Zastosuj do wszystkich plików w tym folderze"},
    {1007, L"static", Shown | SS_LEFT | WS_GROUP, 14, 104, 186, 8,
     L"Filtr plików (można używać znaków * oraz ?):"},
    {1008, L"edit", Shown | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 14, 114, 184, 14, L""},
    {1009, L"button", PushButton, 205, 113, 60, 15, L"Przelicz pliki"},
    {1052, L"button", GroupBox, 6, 139, 267, 78, L"Ustaw datę i czas:"},
    {-1, L"static", Shown | SS_LEFT | WS_GROUP, 14, 149, 250, 16,
     L"Przytrzymaj klawisz Ctrl, aby zmienić jednocześnie datę i czas wszystkich pól."},
    {-1, L"static", Shown | SS_RIGHT | WS_GROUP, 14, 169, 70, 9, L"Utworzony:"},
    {1012, L"sysdatetimepick32", Picker, 90, 166, 110, 15, L""},
    {-1, L"static", Shown | SS_RIGHT | WS_GROUP, 14, 185, 70, 8, L"Zmodyfikowany:"},
    {1013, L"sysdatetimepick32", Picker, 90, 182, 110, 15, L""},
    {-1, L"static", Shown | SS_RIGHT | WS_GROUP, 14, 201, 70, 8, L"Ostatnio używany:"},
    {1014, L"sysdatetimepick32", Picker, 90, 198, 110, 15, L""},
    {1015, L"button", GroupBox, 6, 220, 267, 30, L"Opcje:"},
    {1016, L"button", CheckBox, 14, 233, 100, 10, L"Uwzględniaj podfoldery"},
    {1017, L"button", CheckBox, 116, 233, 87, 10, L"Zastosuj do folderów"},
    {1018, L"msctls_progress32", WS_CHILD | PBS_MARQUEE | WS_BORDER, 14, 231, 251, 7, L""},
    {1, L"button", PushButton, 115, 256, 50, 15, L"OK"},
    {2, L"button", PushButton, 169, 256, 50, 15, L"Anuluj"},
    {1020, L"button", PushButton, 223, 256, 50, 15, L"Zastosuj"},
};

const std::vector<Control> polishAbout = {
    {9014, L"static", Shown | SS_ICON, 10, 15, 20, 20, L""},
    {1, L"button", PushButton, 338, 22, 50, 14, L"&OK"},
    {9009, L"static", Shown | SS_LEFTNOWORDWRAP | WS_GROUP, 110, 20, 150, 16, L"Vandrel"},
    {9045, L"static", Shown | SS_LEFTNOWORDWRAP | WS_GROUP, 110, 35, 150, 8,
     L"Copyright © %s autorzy Vandrela"},
    {9050, L"static", Shown | SS_RIGHT | WS_GROUP, 120, 48, 60, 8, L"Pisz na adres:"},
    {9011, L"static", Shown | SS_LEFTNOWORDWRAP | WS_GROUP, 185, 48, 90, 8, L""},
    {9052, L"static", Shown | SS_RIGHT | WS_GROUP, 120, 58, 60, 8, L"Strona domowa:"},
    {9015, L"static", Shown | SS_LEFTNOWORDWRAP | WS_GROUP, 185, 58, 90, 8, L""},
    {9044, L"static", Shown | SS_LEFTNOWORDWRAP | WS_GROUP, 110, 80, 280, 24, L"Wersja %s"},
    {9047, L"button", GroupBox, 11, 125, 376, 43, L"Dodatkowe informacje:"},
    {9013, L"static", Shown | SS_LEFT | WS_GROUP, 22, 137, 358, 24,
     L"Vandrel jest programem darmowym (freeware). Można go używać bez żadnych opłat i "
     L"przekazywać dalej w dowolnej liczbie kopii, pod warunkiem że nie pobiera się za to żadnej "
     L"opłaty."},
};

// The Chinese templates have the Polish controls in the same order with the same classes and
// styles; only the identifier of the location label (a plain static there), the rectangles of
// the narrower main dialog and the texts differ.
struct Translated {
    int id;
    short x, y, cx, cy;
    const wchar_t *text;
};

const std::vector<Translated> chineseMain = {
    {1019, 6, 256, 50, 15, L"关于..."},
    {-1, 10, 10, 20, 20, nullptr},
    {1053, 38, 8, 181, 24,
     L"Vandrel 将按照以下信息更改文件的创建、修改和上次访问的日期和时间，或者文件夹的创建日期和时"
     L"间。"},
    {1051, 6, 40, 213, 96, L"应用于："},
    {1001, 14, 55, 20, 20, L""},
    {1002, 42, 55, 116, 8, L""},
    {1003, 42, 67, 170, 8, L""},
    {1004, 163, 51, 50, 15, L"浏览..."},
    {-1, 14, 80, 60, 8, L"位置："},
    {1006, 12, 90, 201, 12, L""},
    {1011, 14, 108, 198, 10, L"应用于此类型的所有文件（*%s）"},
    {1010, 14, 120, 198, 10, L"应用于此文件夹中的所有文件"},
    {1007, 14, 104, 144, 8, L"文件过滤器（可以使用 * 和 ?）："},
    {1008, 14, 114, 142, 14, L""},
    {1009, 163, 113, 50, 15, L"过滤"},
    {1052, 6, 139, 213, 78, L"设置日期和时间："},
    {-1, 14, 151, 198, 8, L"按住 Ctrl 键可同时更改所有字段的日期和时间。"},
    {-1, 14, 165, 60, 9, L"创建时间："},
    {1012, 80, 162, 132, 15, L""},
    {-1, 14, 181, 60, 8, L"修改时间："},
    {1013, 80, 178, 132, 15, L""},
    {-1, 14, 197, 60, 8, L"访问时间："},
    {1014, 80, 194, 132, 15, L""},
    {1015, 6, 220, 213, 30, L"选项："},
    {1016, 14, 233, 90, 10, L"包括子文件夹"},
    {1017, 112, 233, 90, 10, L"应用于文件夹"},
    {1018, 14, 231, 198, 7, L""},
    {1, 61, 256, 50, 15, L"确定"},
    {2, 115, 256, 50, 15, L"取消"},
    {1020, 169, 256, 50, 15, L"应用"},
};

// The product line is wider than in Polish: string 1 carries the translator's credit there.
const std::vector<Translated> chineseAbout = {
    {9014, 10, 15, 20, 20, L""},
    {1, 338, 22, 50, 14, L"确定"},
    {9009, 110, 20, 220, 16, L"Vandrel"},
    {9045, 110, 35, 150, 8, L"版权所有 © %s Vandrel 作者"},
    {9050, 120, 48, 60, 8, L"电子邮件："},
    {9011, 185, 48, 90, 8, L""},
    {9052, 120, 58, 60, 8, L"主页："},
    {9015, 185, 58, 90, 8, L""},
    {9044, 110, 80, 280, 24, L"版本 %s"},
    {9047, 11, 125, 376, 43, L"附加信息："},
    {9013, 22, 137, 358, 24,
     L"本程序是免费软件，可以免费使用，并且只要不收取任何费用，即可任意复制和传播任意数量的副本。"},
};

// English keeps the earlier Polish layout; only the pickers are as wide as the Chinese ones, for
// the designator of the 12-hour clock.
const std::vector<Translated> englishMain = {
    {1019, 6, 256, 60, 15, L"About..."},
    {-1, 12, 10, 20, 20, nullptr},
    {1053, 45, 8, 228, 24,
     L"Vandrel changes the creation, modification and last access date and time of a file, or the "
     L"creation date and time of a folder, to the values below."},
    {1051, 6, 40, 267, 96, L"Apply to:"},
    {1001, 20, 55, 20, 20, L""},
    {1002, 60, 55, 140, 8, L""},
    {1003, 60, 67, 205, 8, L""},
    {1004, 205, 51, 60, 15, L"Browse..."},
    {1005, 14, 80, 60, 8, L"Location:"},
    {1006, 12, 90, 255, 12, L""},
    {1011, 14, 108, 251, 10, L"Apply to all files of this type (*%s)"},
    {1010, 14, 120, 251, 10, L"Apply to all files in this folder"},
    {1007, 14, 104, 186, 8, L"File filter (* and ? may be used):"},
    {1008, 14, 114, 184, 14, L""},
    {1009, 205, 113, 60, 15, L"Count files"},
    {1052, 6, 139, 267, 78, L"Set date and time:"},
    {-1, 14, 151, 250, 8, L"Hold down Ctrl to change the date and time of all fields at once."},
    {-1, 14, 165, 70, 9, L"Created:"},
    {1012, 90, 162, 132, 15, L""},
    {-1, 14, 181, 70, 8, L"Modified:"},
    {1013, 90, 178, 132, 15, L""},
    {-1, 14, 197, 70, 8, L"Last accessed:"},
    {1014, 90, 194, 132, 15, L""},
    {1015, 6, 220, 267, 30, L"Options:"},
    {1016, 14, 233, 87, 10, L"Include subfolders"},
    {1017, 116, 233, 87, 10, L"Apply to folders"},
    {1018, 14, 231, 251, 7, L""},
    {1, 115, 256, 50, 15, L"OK"},
    {2, 169, 256, 50, 15, L"Cancel"},
    {1020, 223, 256, 50, 15, L"Apply"},
};

// The notice line is wider than in Polish, so that its English text fits.
const std::vector<Translated> englishAbout = {
    {9014, 10, 15, 20, 20, L""},
    {1, 338, 22, 50, 14, L"&OK"},
    {9009, 110, 20, 150, 16, L"Vandrel"},
    {9045, 110, 35, 160, 8, L"Copyright © %s the Vandrel authors"},
    {9050, 120, 48, 60, 8, L"E-mail:"},
    {9011, 185, 48, 90, 8, L""},
    {9052, 120, 58, 60, 8, L"Home page:"},
    {9015, 185, 58, 90, 8, L""},
    {9044, 110, 80, 280, 24, L"Version %s"},
    {9047, 11, 125, 376, 43, L"Additional information:"},
    {9013, 22, 137, 358, 24,
     L"Vandrel is freeware. You may use it free of charge and pass it on in any number of copies, "
     L"provided that no fee is charged for it."},
};

// The rule row and the shift beside each picker: added to the times group right after the last
// picker, in this tab order. The group grows by `growth`; everything under it moves down by as
// much, and nothing else changes.
struct RuleRow {
    short growth;
    std::vector<Control> controls;
};

const RuleRow polishRow = {16,
                           {{1054, L"static", Label, 14, 217, 70, 8, L"Nowe czasy:"},
                            {1055, L"combobox", RuleList, 90, 215, 110, 66, L""},
                            {1056, L"button", PushButton, 205, 214, 60, 15, L"Podgląd..."},
                            {1057, L"static", Line, 205, 169, 60, 8, L""},
                            {1058, L"static", Line, 205, 185, 60, 8, L""},
                            {1059, L"static", Line, 205, 201, 60, 8, L""}}};

// The pickers reach the group's right edge: the shifts and the button get a row of their own.
const RuleRow chineseRow = {32,
                            {{1054, L"static", Label, 14, 213, 60, 8, L"新时间："},
                             {1055, L"combobox", RuleList, 80, 211, 132, 66, L""},
                             {1056, L"button", PushButton, 163, 226, 50, 15, L"预览..."},
                             {1057, L"static", Line, 14, 229, 45, 8, L""},
                             {1058, L"static", Line, 63, 229, 45, 8, L""},
                             {1059, L"static", Line, 112, 229, 45, 8, L""}}};

const RuleRow englishRow = {16,
                            {{1054, L"static", Label, 14, 217, 70, 8, L"New times:"},
                             {1055, L"combobox", RuleList, 90, 215, 132, 66, L""},
                             {1056, L"button", PushButton, 226, 214, 41, 15, L"Preview..."},
                             {1057, L"static", Line, 226, 165, 43, 8, L""},
                             {1058, L"static", Line, 226, 181, 43, 8, L""},
                             {1059, L"static", Line, 226, 197, 43, 8, L""}}};

std::vector<Control> WithRuleRow(std::vector<Control> controls, const RuleRow &row) {
    const auto group = std::find_if(controls.begin(), controls.end(),
                                    [](const Control &c) { return c.id == IDC_TIMES_GROUP; });
    const short bottom = group->y + group->cy;
    group->cy += row.growth;
    for (Control &control : controls)
        if (control.y >= bottom)
            control.y += row.growth;
    const auto last = std::find_if(controls.begin(), controls.end(),
                                   [](const Control &c) { return c.id == IDC_PICK_ACCESSED; });
    controls.insert(last + 1, row.controls.begin(), row.controls.end());
    return controls;
}

std::vector<Control> Translate(const std::vector<Control> &polish,
                               const std::vector<Translated> &translated) {
    std::vector<Control> controls;
    for (size_t i = 0; i < polish.size() && i < translated.size(); ++i) {
        const Translated &t = translated[i];
        controls.push_back(
            {t.id, polish[i].className, polish[i].style, t.x, t.y, t.cx, t.cy, t.text});
    }
    return controls;
}

// These tests read both languages from the file, whatever the user interface: their names say
// "Zh", because a name with "Chinese" would run them only under a Chinese user interface.
class DialogTemplates : public testing::Test {
  protected:
    restest::DialogTemplate Load(int id, LANGID language) {
        restest::DialogTemplate dialog;
        const auto data = image.Resource(RT_DIALOG, MAKEINTRESOURCEW(id), language);
        EXPECT_FALSE(data.empty()) << "dialog " << id << " language " << std::hex << language;
        EXPECT_TRUE(restest::ParseDialogTemplate(data, &dialog)) << id;
        return dialog;
    }

    restest::ProgramImage image{testsupport::BuildPath(L"Vandrel.exe")};
};

void ExpectHeader(const restest::DialogTemplate &dialog, DWORD style, short cx, short cy,
                  const wchar_t *caption) {
    EXPECT_EQ(style, dialog.style) << std::hex << dialog.style;
    EXPECT_EQ(0u, dialog.exStyle);
    EXPECT_EQ(0, dialog.x);
    EXPECT_EQ(0, dialog.y);
    EXPECT_EQ(cx, dialog.cx);
    EXPECT_EQ(cy, dialog.cy);
    EXPECT_EQ(L"", dialog.menu);
    EXPECT_EQ(L"", dialog.windowClass);
    EXPECT_EQ(caption, dialog.title);
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ(L"MS Shell Dlg 2", dialog.font);
    EXPECT_EQ(0, dialog.italic);
}

void ExpectControls(const std::vector<Control> &expected, const restest::DialogTemplate &dialog) {
    ASSERT_EQ(expected.size(), dialog.controls.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Control &want = expected[i];
        const restest::DialogControl &have = dialog.controls[i];
        SCOPED_TRACE(testing::Message() << "control " << i << " (id " << want.id << ")");
        EXPECT_EQ(want.id, have.id);
        EXPECT_EQ(want.className, have.className);
        EXPECT_EQ(want.style, have.style) << std::hex << want.style << " " << have.style;
        EXPECT_EQ(0u, have.exStyle);
        EXPECT_EQ(want.x, have.x);
        EXPECT_EQ(want.y, have.y);
        EXPECT_EQ(want.cx, have.cx);
        EXPECT_EQ(want.cy, have.cy);
        if (want.text) {
            EXPECT_EQ(-1, have.textOrdinal);
            EXPECT_EQ(want.text, have.text);
        } else {
            EXPECT_EQ(IDI_VANDREL, have.textOrdinal);
        }
        EXPECT_EQ(0, have.extraBytes);
    }
}

// Every control lies inside the dialog's client area.
void ExpectInside(const restest::DialogTemplate &dialog) {
    for (const auto &control : dialog.controls) {
        EXPECT_GE(control.x, 0) << control.id;
        EXPECT_GE(control.y, 0) << control.id;
        EXPECT_LE(control.x + control.cx, dialog.cx) << control.id;
        EXPECT_LE(control.y + control.cy, dialog.cy) << control.id;
    }
}

constexpr DWORD MainStyle = 0x90C80840;
constexpr DWORD AboutStyle = 0x90C808C0;
constexpr DWORD PreviewStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | DS_SETFONT | DS_CENTER;
constexpr int Dialogs[] = {IDD_MAIN, IDD_ABOUT, IDD_PREVIEW};

TEST_F(DialogTemplates, PolishMainDialog) {
    ASSERT_TRUE(image.Loaded());
    const auto dialog = Load(IDD_MAIN, Polish);
    ExpectHeader(dialog, MainStyle, 280, 276 + polishRow.growth, L"Ustaw datę i czas...");
    ExpectControls(WithRuleRow(polishMain, polishRow), dialog);
    ExpectInside(dialog);
}

TEST_F(DialogTemplates, PolishAboutBox) {
    ASSERT_TRUE(image.Loaded());
    const auto dialog = Load(IDD_ABOUT, Polish);
    ExpectHeader(dialog, AboutStyle, 400, 180, L"O programie...");
    ExpectControls(polishAbout, dialog);
    ExpectInside(dialog);
}

TEST_F(DialogTemplates, ZhMainDialog) {
    ASSERT_TRUE(image.Loaded());
    const auto dialog = Load(IDD_MAIN, Chinese);
    ExpectHeader(dialog, MainStyle, 225, 277 + chineseRow.growth, L"设置日期和时间...");
    ASSERT_EQ(polishMain.size(), chineseMain.size());
    ExpectControls(WithRuleRow(Translate(polishMain, chineseMain), chineseRow), dialog);
    ExpectInside(dialog);
}

TEST_F(DialogTemplates, ZhAboutBox) {
    ASSERT_TRUE(image.Loaded());
    const auto dialog = Load(IDD_ABOUT, Chinese);
    ExpectHeader(dialog, AboutStyle, 400, 180, L"关于...");
    ASSERT_EQ(polishAbout.size(), chineseAbout.size());
    ExpectControls(Translate(polishAbout, chineseAbout), dialog);
}

TEST_F(DialogTemplates, EnMainDialog) {
    ASSERT_TRUE(image.Loaded());
    const auto dialog = Load(IDD_MAIN, English);
    ExpectHeader(dialog, MainStyle, 280, 276 + englishRow.growth, L"Set date and time...");
    ASSERT_EQ(polishMain.size(), englishMain.size());
    ExpectControls(WithRuleRow(Translate(polishMain, englishMain), englishRow), dialog);
    ExpectInside(dialog);
}

TEST_F(DialogTemplates, EnAboutBox) {
    ASSERT_TRUE(image.Loaded());
    const auto dialog = Load(IDD_ABOUT, English);
    ExpectHeader(dialog, AboutStyle, 400, 180, L"About...");
    ASSERT_EQ(polishAbout.size(), englishAbout.size());
    ExpectControls(Translate(polishAbout, englishAbout), dialog);
    ExpectInside(dialog);
}

// With the common controls 6 the list drops down as far as its items need; older ones take the
// height from the template: the closed field (14 units at this font), six rules of 8 units each
// and the list's border.
TEST_F(DialogTemplates, RuleListDropsDownToAllSixRules) {
    ASSERT_TRUE(image.Loaded());
    for (LANGID language : {Polish, Chinese, English}) {
        const auto dialog = Load(IDD_MAIN, language);
        const auto list = std::find_if(dialog.controls.begin(), dialog.controls.end(),
                                       [](const auto &c) { return c.id == IDC_RULE; });
        ASSERT_NE(dialog.controls.end(), list) << language;
        EXPECT_GE(list->cy, 14 + 6 * 8 + 2) << language;
    }
}

// The preview window: resizable, the list between the summary line and the buttons.
TEST_F(DialogTemplates, PreviewWindowInEachLanguage) {
    ASSERT_TRUE(image.Loaded());
    struct Texts {
        LANGID language;
        const wchar_t *caption, *apply, *save, *close;
    };
    for (const Texts &t : {Texts{Polish, L"Podgląd", L"Zastosuj", L"Zapisz listę...", L"Zamknij"},
                           Texts{Chinese, L"预览", L"应用", L"保存列表...", L"关闭"},
                           Texts{English, L"Preview", L"Apply", L"Save list...", L"Close"}}) {
        SCOPED_TRACE(testing::Message() << "language " << std::hex << t.language);
        const auto dialog = Load(IDD_PREVIEW, t.language);
        ExpectHeader(dialog, PreviewStyle, 420, 250, t.caption);
        constexpr DWORD List =
            Shown | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP;
        ExpectControls({{2001, L"static", Line, 7, 7, 406, 8, L""},
                        {2002, L"syslistview32", List, 7, 19, 406, 204, L""},
                        {2003, L"button", PushButton, 245, 228, 50, 15, t.apply},
                        {2004, L"button", PushButton, 299, 228, 60, 15, t.save},
                        {2, L"button", PushButton, 363, 228, 50, 15, t.close}},
                       dialog);
        ExpectInside(dialog);
    }
}

TEST_F(DialogTemplates, ZhControlsMatchThePolishOnes) {
    ASSERT_TRUE(image.Loaded());
    for (int id : Dialogs) {
        const auto polish = Load(id, Polish);
        const auto chinese = Load(id, Chinese);
        ASSERT_EQ(polish.controls.size(), chinese.controls.size());
        for (size_t i = 0; i < polish.controls.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "dialog " << id << " control " << i);
            // The location label is the one control that no code addresses in Chinese.
            const int expectedId =
                polish.controls[i].id == IDC_LOCATION_LABEL ? -1 : polish.controls[i].id;
            EXPECT_EQ(expectedId, chinese.controls[i].id);
            EXPECT_EQ(polish.controls[i].className, chinese.controls[i].className);
            EXPECT_EQ(polish.controls[i].style, chinese.controls[i].style);
            // A control with a caption in Polish has one in Chinese too.
            EXPECT_EQ(polish.controls[i].text.empty(), chinese.controls[i].text.empty());
        }
    }
}

// Every control keeps its identifier, class and style in English, in the same tab order.
TEST_F(DialogTemplates, EnControlsMatchThePolishOnes) {
    ASSERT_TRUE(image.Loaded());
    for (int id : Dialogs) {
        const auto polish = Load(id, Polish);
        const auto english = Load(id, English);
        ASSERT_EQ(polish.controls.size(), english.controls.size());
        for (size_t i = 0; i < polish.controls.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "dialog " << id << " control " << i);
            EXPECT_EQ(polish.controls[i].id, english.controls[i].id);
            EXPECT_EQ(polish.controls[i].className, english.controls[i].className);
            EXPECT_EQ(polish.controls[i].style, english.controls[i].style);
            EXPECT_EQ(polish.controls[i].text.empty(), english.controls[i].text.empty());
        }
    }
}

TEST_F(DialogTemplates, OnlyPolishZhAndEnTemplatesExist) {
    ASSERT_TRUE(image.Loaded());
    for (int id : Dialogs) {
        auto languages = image.Languages(RT_DIALOG, MAKEINTRESOURCEW(id));
        std::sort(languages.begin(), languages.end());
        EXPECT_EQ((std::vector<LANGID>{Chinese, English, Polish}), languages) << id;
    }
}

} // namespace
