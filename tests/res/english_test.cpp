// The English resources: their version block, and the dialogs as an English user sees them,
// with no caption cut.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "about/about_dialog.h"
#include "app/job_context.h"
#include "common/display_support.h"
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

// The other resolutions and languages are measured with the real dialogs in the ui tests.
TEST(TextExtentsEnglish, NoCaptionOfEitherDialogIsCut) {
    ASSERT_EQ(96, testsupport::ScreenDpi());
    ASSERT_TRUE(testsupport::IsEnglishUi());
    // The main dialog's captions are all in its template; the About box fills its notice and
    // version lines and sets its own fonts, so it runs with its own procedure.
    HWND main =
        CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, TemplateOnlyProc, 0);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(L"Set date and time...", testsupport::WindowText(main));
    {
        SCOPED_TRACE("main dialog");
        testsupport::ExpectNoCaptionCut(main);
    }
    DestroyWindow(main);
    HWND about =
        CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_ABOUT), nullptr, AboutDialogProc, 0);
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(L"About...", testsupport::WindowText(about));
    {
        SCOPED_TRACE("About box");
        testsupport::ExpectNoCaptionCut(about);
    }
    DestroyWindow(about);
}

} // namespace
