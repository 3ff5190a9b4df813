// The English resources: their version block, and the dialogs as an English user sees them,
// with no caption cut at 96 or 120 dots per inch.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "about/about_dialog.h"
#include "app/job_context.h"
#include "common/test_support.h"
#include "res/resource.h"
#include "resource_reader.h"

namespace {

constexpr LANGID English = 0x0409;

// The English version resource, read from the file itself whatever the user interface.
class EnVersionBlock : public testing::Test {
  protected:
    std::wstring Value(const std::wstring &name) {
        const std::wstring query = L"\\StringFileInfo\\040904b0\\" + name;
        void *value = nullptr;
        UINT length = 0;
        if (block.empty() || !VerQueryValueW(block.data(), query.c_str(), &value, &length) ||
            !value)
            return L"(missing)";
        return static_cast<const wchar_t *>(value);
    }

    restest::ProgramImage image{testsupport::BuildPath(L"Vandrel.exe")};
    std::vector<BYTE> block = image.Resource(RT_VERSION, MAKEINTRESOURCEW(1), English);
};

TEST_F(EnVersionBlock, CarriesTheProgramsStringsAndTheEnglishTranslation) {
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
    EXPECT_EQ(MAKELONG(0, 2), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(7000, 3680), fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(0, 2), fixed->dwProductVersionMS);
    EXPECT_EQ(MAKELONG(7000, 3680), fixed->dwProductVersionLS);

    WORD *pairs = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void **>(&pairs), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409, pairs[0]);
    EXPECT_EQ(1200, pairs[1]);

    EXPECT_EQ(L"Vandrel", Value(L"FileDescription"));
    EXPECT_EQ(L"Vandrel", Value(L"InternalName"));
    EXPECT_EQ(L"Vandrel", Value(L"ProductName"));
    EXPECT_EQ(L"Vandrel.exe", Value(L"OriginalFilename"));
    EXPECT_EQ(L"2.0.3680.7000", Value(L"FileVersion"));
    EXPECT_EQ(L"2.0", Value(L"ProductVersion"));
    EXPECT_EQ(L"The Vandrel authors", Value(L"CompanyName"));
    EXPECT_EQ(L"Copyright © 2009-2011 the Vandrel authors", Value(L"LegalCopyright"));
}

// ---- text extents ----

INT_PTR CALLBACK TemplateOnlyProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

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
    switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return GetSystemMetrics(SM_CXMENUCHECK) + 4;
    case BS_GROUPBOX:
        return 16;
    default:
        return 6;
    }
}

// Every caption of the dialog's statics and buttons, measured in the control's own font, fits its
// control: on one line within its width, or, for a static that wraps, within its height.
void ExpectNoCaptionCut(HWND dialog) {
    int measured = 0;
    for (HWND control = GetWindow(dialog, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        const std::wstring text = testsupport::WindowText(control);
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

int ScreenDotsPerInch() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// Run by itself at 120 dots per inch as well (see EnglishTextExtentsAt120DotsPerInch): the
// expected resolution comes from VANDREL_EXPECTED_DPI, 96 when it is not set.
TEST(TextExtentsEnglish, NoCaptionOfEitherDialogIsCut) {
    wchar_t expected[16] = {};
    const int dpi =
        GetEnvironmentVariableW(L"VANDREL_EXPECTED_DPI", expected, 16) ? _wtoi(expected) : 96;
    ASSERT_EQ(dpi, ScreenDotsPerInch());
    ASSERT_TRUE(testsupport::IsEnglishUi());
    // The main dialog's captions are all in its template; the About box fills its notice and
    // version lines and sets its own fonts, so it runs with its own procedure.
    HWND main =
        CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, TemplateOnlyProc, 0);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(L"Set date and time...", testsupport::WindowText(main));
    {
        SCOPED_TRACE("main dialog");
        ExpectNoCaptionCut(main);
    }
    DestroyWindow(main);
    HWND about =
        CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_ABOUT), nullptr, AboutDialogProc, 0);
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(L"About...", testsupport::WindowText(about));
    {
        SCOPED_TRACE("About box");
        ExpectNoCaptionCut(about);
    }
    DestroyWindow(about);
}

TEST(TextExtentsEnglish, NoCaptionIsCutAt120DotsPerInch) {
    // The prefix's resolution is read when a process starts: the check above runs again in a new
    // copy of this program, with the setting at 120 for as long as it runs.
    HKEY desktop = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                              KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &desktop, nullptr));
    DWORD saved = 0, type = 0, size = sizeof saved;
    const bool hadValue =
        RegQueryValueExW(desktop, L"LogPixels", nullptr, &type, reinterpret_cast<BYTE *>(&saved),
                         &size) == ERROR_SUCCESS;
    const DWORD dpi = 120;
    RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&dpi),
                   sizeof dpi);
    SetEnvironmentVariableW(L"VANDREL_EXPECTED_DPI", L"120");
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) +
                               L"\" --gtest_filter=TextExtentsEnglish.NoCaptionOfEitherDialogIsCut";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    const BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableW(L"VANDREL_EXPECTED_DPI", nullptr);
    DWORD code = STILL_ACTIVE;
    if (started) {
        testsupport::PumpUntil(
            [&] { return WaitForSingleObject(child.hProcess, 0) == WAIT_OBJECT_0; }, 60000);
        GetExitCodeProcess(child.hProcess, &code);
        if (code == STILL_ACTIVE)
            TerminateProcess(child.hProcess, 1);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    }
    if (hadValue)
        RegSetValueExW(desktop, L"LogPixels", 0, type, reinterpret_cast<const BYTE *>(&saved),
                       sizeof saved);
    else
        RegDeleteValueW(desktop, L"LogPixels");
    RegCloseKey(desktop);
    ASSERT_TRUE(started);
    EXPECT_EQ(0u, code) << "a caption is cut at 120 dots per inch (the child's output says which)";
}

} // namespace
