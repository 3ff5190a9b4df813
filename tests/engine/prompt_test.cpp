// The file error prompt: its texts, widths and hints, the real task dialog clicked on screen,
// and the message-box form under a Windows XP version.
#include <gtest/gtest.h>

#include <string>

#include "app/job_context.h"
#include "app/text.h"
#include "common/test_support.h"
#include "engine/engine_test_support.h"
#include "ui/prompt.h"
#include "res/resource.h"

using namespace testsupport;
using namespace enginetest;

namespace {

std::wstring SystemMessage(DWORD code) {
    wchar_t *text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                       FORMAT_MESSAGE_FROM_SYSTEM,
                   nullptr, code, 0x0400, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    const std::wstring result = text ? text : L"";
    LocalFree(text);
    return result;
}

TEST(PromptTextsTest, HintAndWidthByCode) {
    EXPECT_EQ(0u, PromptHintId(0, 0));
    EXPECT_EQ(280, PromptWidth(0));
    EXPECT_EQ(UINT{IDS_HINT_PATH}, PromptHintId(2, 0));
    EXPECT_EQ(240, PromptWidth(2));
    EXPECT_EQ(UINT{IDS_HINT_PATH}, PromptHintId(3, 0));
    EXPECT_EQ(240, PromptWidth(3));
    EXPECT_EQ(UINT{IDS_HINT_ACCESS}, PromptHintId(5, 0));
    EXPECT_EQ(280, PromptWidth(5));
    EXPECT_EQ(UINT{IDS_HINT_IN_USE}, PromptHintId(32, FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(UINT{IDS_HINT_SYSTEM_FILE}, PromptHintId(32, FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(UINT{IDS_HINT_IN_USE}, PromptHintId(32, INVALID_FILE_ATTRIBUTES));
    EXPECT_EQ(270, PromptWidth(32));
    EXPECT_EQ(0u, PromptHintId(4, 0));
    EXPECT_EQ(0u, PromptHintId(33, 0));
    EXPECT_EQ(0u, PromptHintId(2147483648u, 0));
    EXPECT_EQ(280, PromptWidth(2147483648u));
}

TEST(PromptTextsTest, ContentFooterAndHintForAMissingPath) {
    PromptTexts texts;
    BuildPromptTexts(L"C:\\nie ma\\a.txt", 2, &texts);
    EXPECT_EQ(SystemMessage(2) + L"\nPlik: C:\\nie ma\\a.txt", std::wstring(texts.content));
    EXPECT_STREQ(L"Kod błędu: 2", texts.footer);
    EXPECT_STREQ(L"Sprawdź czy podana ścieżka jest prawidłowa, nie zawiera błędów oraz czy plik "
                 L"lub folder istnieje.",
                 texts.hint);
    EXPECT_EQ(240, texts.width);
}

TEST(PromptTextsTest, AccessDeniedAndPathNotFound) {
    PromptTexts texts;
    BuildPromptTexts(L"C:\\x", 5, &texts);
    EXPECT_EQ(Text(IDS_HINT_ACCESS), texts.hint);
    EXPECT_STREQ(L"Kod błędu: 5", texts.footer);
    EXPECT_EQ(280, texts.width);
    BuildPromptTexts(L"C:\\x\\y", 3, &texts);
    EXPECT_EQ(Text(IDS_HINT_PATH), texts.hint);
    EXPECT_EQ(240, texts.width);
}

TEST(PromptTextsTest, SharingViolationLooksAtTheSystemBit) {
    TempDir dir;
    const std::wstring plain = dir / L"plain.txt", system = dir / L"system.txt";
    WriteTextFile(plain);
    WriteTextFile(system);
    ASSERT_TRUE(SetFileAttributesW(system.c_str(), FILE_ATTRIBUTE_SYSTEM));
    PromptTexts texts;
    BuildPromptTexts(plain.c_str(), 32, &texts);
    EXPECT_STREQ(L"Zamknij wszystkie niepotrzebne programy, aby uniknąć tego błędu.", texts.hint);
    EXPECT_EQ(270, texts.width);
    BuildPromptTexts(system.c_str(), 32, &texts);
    EXPECT_STREQ(L"Pliki systemowe są używane przez system operacyjny i nie mogą być "
                 L"modyfikowane gdy są w użyciu.",
                 texts.hint);
    EXPECT_EQ(270, texts.width);
    // Attributes that cannot be read do not make it a system file.
    BuildPromptTexts((dir / L"missing.txt").c_str(), 32, &texts);
    EXPECT_EQ(Text(IDS_HINT_IN_USE), texts.hint);
    SetFileAttributesW(system.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The item is looked up by the path it was asked for with, so "sys." is not its plain twin "sys";
// the text shows that path without the extended-length prefix.
TEST(PromptTextsTest, SharingViolationLooksAtTheItemWhoseNameEndsInADot) {
    TempDir dir;
    const std::wstring dotted = dir / L"sys.";
    WriteTextFile(dotted);
    WriteTextFile(dir / L"sys");
    ASSERT_TRUE(SetFileAttributesW(Native(dotted).c_str(), FILE_ATTRIBUTE_SYSTEM));
    PromptTexts texts;
    BuildPromptTexts(Native(dotted).c_str(), 32, &texts);
    EXPECT_EQ(Text(IDS_HINT_SYSTEM_FILE), texts.hint);
    EXPECT_EQ(SystemMessage(32) + L"\nPlik: " + dotted, std::wstring(texts.content));
}

TEST(PromptTextsTest, OtherCodesHaveNoHintAndHighCodesPrintNegative) {
    PromptTexts texts;
    BuildPromptTexts(L"C:\\x", 0, &texts);
    EXPECT_STREQ(L"", texts.hint);
    EXPECT_STREQ(L"Kod błędu: 0", texts.footer);
    EXPECT_EQ(280, texts.width);
    BuildPromptTexts(L"C:\\x", 2147483648u, &texts);
    EXPECT_STREQ(L"Kod błędu: -2147483648", texts.footer);
    EXPECT_STREQ(L"", texts.hint);
    EXPECT_EQ(280, texts.width);
}

TEST(PromptTextsTest, LongPathIsShownWholeAndTheContentCutAtItsCapacity) {
    const std::wstring path = L"C:\\" + std::wstring(257, L'p');
    ASSERT_EQ(260u, path.size());
    PromptTexts texts;
    BuildPromptTexts(path.c_str(), 5, &texts);
    EXPECT_EQ(SystemMessage(5) + L"\nPlik: " + path, std::wstring(texts.content));

    // The longest system message there is, with the same path, no longer fits.
    DWORD longest = 0;
    size_t longestLength = 0;
    for (DWORD code = 1; code < 16000; ++code) {
        const size_t length = SystemMessage(code).size();
        if (length > longestLength) {
            longest = code;
            longestLength = length;
        }
    }
    const std::wstring whole = SystemMessage(longest) + L"\nPlik: " + path;
    BuildPromptTexts(path.c_str(), longest, &texts);
    if (whole.size() > PromptTextCapacity - 1)
        EXPECT_EQ(whole.substr(0, PromptTextCapacity - 1), std::wstring(texts.content));
    else
        EXPECT_EQ(whole, std::wstring(texts.content));
}

TEST(PromptTextsTest, TaskDialogConfigurationForEachMode) {
    PromptTexts texts;
    BuildPromptTexts(L"C:\\x", 32, &texts);
    TaskDialogSetup setup;
    BuildTaskDialogSetup(PromptStopJob, texts, &setup);
    const TASKDIALOGCONFIG &config = setup.config;
    EXPECT_EQ(sizeof(TASKDIALOGCONFIG), config.cbSize);
    EXPECT_EQ(nullptr, config.hwndParent);
    EXPECT_EQ(appInstance, config.hInstance);
    EXPECT_EQ(0, config.dwFlags);
    EXPECT_EQ(0, config.dwCommonButtons);
    EXPECT_STREQ(L"Vandrel", config.pszWindowTitle);
    EXPECT_EQ(TD_ERROR_ICON, config.pszMainIcon);
    EXPECT_STREQ(L"Błąd dostępu do pliku", config.pszMainInstruction);
    EXPECT_EQ(texts.content, config.pszContent);
    ASSERT_EQ(2u, config.cButtons);
    EXPECT_EQ(IDOK, config.pButtons[0].nButtonID);
    EXPECT_STREQ(L"Kontynuuj", config.pButtons[0].pszButtonText);
    EXPECT_EQ(IDCANCEL, config.pButtons[1].nButtonID);
    EXPECT_STREQ(L"Anuluj", config.pButtons[1].pszButtonText);
    EXPECT_EQ(0, config.nDefaultButton);
    EXPECT_EQ(texts.hint, config.pszExpandedInformation);
    EXPECT_STREQ(L"Ukryj szczegóły", config.pszExpandedControlText);
    EXPECT_STREQ(L"Pokaż szczegóły", config.pszCollapsedControlText);
    EXPECT_EQ(texts.footer, config.pszFooter);
    EXPECT_EQ(nullptr, config.pszFooterIcon);
    EXPECT_EQ(270u, config.cxWidth);

    BuildTaskDialogSetup(PromptCloseProgram, texts, &setup);
    ASSERT_EQ(2u, setup.config.cButtons);
    EXPECT_STREQ(L"Kontynuuj", setup.config.pButtons[0].pszButtonText);
    EXPECT_STREQ(L"Zamknij program", setup.config.pButtons[1].pszButtonText);

    BuildTaskDialogSetup(7, texts, &setup);
    ASSERT_EQ(2u, setup.config.cButtons);
    EXPECT_STREQ(L"Anuluj", setup.config.pButtons[1].pszButtonText);

    BuildTaskDialogSetup(PromptNotice, texts, &setup);
    EXPECT_EQ(0u, setup.config.cButtons);
    EXPECT_EQ(nullptr, setup.config.pButtons);
    EXPECT_EQ(TDCBF_OK_BUTTON, setup.config.dwCommonButtons);
}

TEST(PromptTextsTest, MessageBoxTextInBothLayouts) {
    PromptTexts texts;
    BuildPromptTexts(L"C:\\x", 2, &texts);
    wchar_t text[MessageBoxTextCapacity];
    UINT style = 0;
    BuildMessageBoxText(PromptNotice, texts, text, &style);
    EXPECT_EQ(std::wstring(texts.content) + L"\n" + texts.footer + L"\n\n" + texts.hint,
              std::wstring(text));
    EXPECT_EQ(UINT{MB_OK | MB_ICONERROR}, style);

    BuildMessageBoxText(PromptStopJob, texts, text, &style);
    EXPECT_EQ(std::wstring(texts.content) + L"\n" + texts.footer + L"\n\n" + texts.hint +
                  L"\nKliknij OK, aby kontunuować lub Anuluj, aby przerwać proces.",
              std::wstring(text));
    EXPECT_EQ(UINT{MB_OKCANCEL | MB_ICONERROR}, style);

    // An empty hint leaves the notice ending in two line breaks.
    BuildPromptTexts(L"C:\\x", 0, &texts);
    BuildMessageBoxText(PromptNotice, texts, text, &style);
    EXPECT_EQ(std::wstring(texts.content) + L"\n" + texts.footer + L"\n\n", std::wstring(text));
}

class TaskDialogPromptTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetJob(); }
};

TEST_F(TaskDialogPromptTest, StopModeAnswersContinueAndCancel) {
    for (int answer : {IDOK, IDCANCEL}) {
        PromptAnswerer answerer(L"Vandrel", answer, 1, [](HWND prompt) {
            EXPECT_EQ(nullptr, GetWindow(prompt, GW_OWNER)); // no owner window
        });
        EXPECT_EQ(answer, FileErrorPrompt(PromptStopJob, L"C:\\x\\a.txt", &jobContext, 5));
        ASSERT_EQ(1u, answerer.Seen().size());
        const PromptSeen &seen = answerer.Seen()[0];
        EXPECT_EQ(L"Kontynuuj", seen.button1);
        EXPECT_EQ(L"Anuluj", seen.button2);
        EXPECT_TRUE(seen.Shows(L"Błąd dostępu do pliku"));
        EXPECT_TRUE(seen.Shows(L"Plik: C:\\x\\a.txt"));
        EXPECT_TRUE(seen.Shows(L"Kod błędu: 5"));
    }
}

TEST_F(TaskDialogPromptTest, CloseProgramModeAnswersContinueAndClose) {
    for (int answer : {IDOK, IDCANCEL}) {
        PromptAnswerer answerer(L"Vandrel", answer);
        EXPECT_EQ(answer, FileErrorPrompt(PromptCloseProgram, L"C:\\x", &jobContext, 2));
        ASSERT_EQ(1u, answerer.Seen().size());
        EXPECT_EQ(L"Kontynuuj", answerer.Seen()[0].button1);
        EXPECT_EQ(L"Zamknij program", answerer.Seen()[0].button2);
    }
}

TEST_F(TaskDialogPromptTest, NoticeModeHasOneOkButton) {
    PromptAnswerer answerer(L"Vandrel", IDOK);
    EXPECT_EQ(IDOK, FileErrorPrompt(PromptNotice, L"C:\\x", &jobContext, 3));
    ASSERT_EQ(1u, answerer.Seen().size());
    const PromptSeen &seen = answerer.Seen()[0];
    EXPECT_NE(L"Kontynuuj", seen.button1);
    EXPECT_FALSE(seen.Shows(L"Kontynuuj"));
    EXPECT_FALSE(seen.Shows(L"Anuluj"));
}

// Under an English user interface the prompt speaks English, its buttons included.
using TaskDialogPromptEnglishTest = TaskDialogPromptTest;

TEST_F(TaskDialogPromptEnglishTest, TextsAndButtonsAreEnglish) {
    ASSERT_TRUE(IsEnglishUi());
    for (int mode : {PromptStopJob, PromptCloseProgram}) {
        PromptAnswerer answerer(L"Vandrel", IDCANCEL);
        EXPECT_EQ(IDCANCEL, FileErrorPrompt(mode, L"C:\\x\\a.txt", &jobContext, 5));
        ASSERT_EQ(1u, answerer.Seen().size());
        const PromptSeen &seen = answerer.Seen()[0];
        EXPECT_EQ(L"Continue", seen.button1);
        EXPECT_EQ(std::wstring(mode == PromptStopJob ? L"Cancel" : L"Close program"), seen.button2);
        EXPECT_TRUE(seen.Shows(L"File access error"));
        EXPECT_TRUE(seen.Shows(L"File: C:\\x\\a.txt"));
        EXPECT_TRUE(seen.Shows(L"Error code: 5"));
    }
}

// The same program reported as Windows XP: the message box owned by the main dialog.
class PromptWinXpTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetJob(); }
};

TEST_F(PromptWinXpTest, StopModeIsAnOkCancelMessageBox) {
    ASSERT_FALSE(IsVistaOrLater());
    TestDialog dialog;
    for (int answer : {IDOK, IDCANCEL}) {
        HWND owner = nullptr;
        PromptAnswerer answerer(L"Błąd dostępu do pliku", answer, 1,
                                [&](HWND prompt) { owner = GetWindow(prompt, GW_OWNER); });
        EXPECT_EQ(answer, FileErrorPrompt(PromptStopJob, L"C:\\x\\a.txt", &jobContext, 2));
        ASSERT_EQ(1u, answerer.Seen().size());
        const PromptSeen &seen = answerer.Seen()[0];
        EXPECT_EQ(dialog.Window(), owner);
        PromptTexts texts;
        BuildPromptTexts(L"C:\\x\\a.txt", 2, &texts);
        EXPECT_TRUE(seen.Shows(std::wstring(texts.content) + L"\nKod błędu: 2\n\n" + texts.hint +
                               L"\nKliknij OK, aby kontunuować lub Anuluj, aby przerwać proces."));
        EXPECT_FALSE(seen.button2.empty());
    }
}

TEST_F(PromptWinXpTest, NoticeIsAnOkMessageBox) {
    TestDialog dialog;
    PromptAnswerer answerer(L"Błąd dostępu do pliku", IDOK);
    EXPECT_EQ(IDOK, FileErrorPrompt(PromptNotice, L"C:\\y", &jobContext, 0));
    ASSERT_EQ(1u, answerer.Seen().size());
    const PromptSeen &seen = answerer.Seen()[0];
    EXPECT_TRUE(seen.button2.empty());
    PromptTexts texts;
    BuildPromptTexts(L"C:\\y", 0, &texts);
    EXPECT_TRUE(seen.Shows(std::wstring(texts.content) + L"\nKod błędu: 0"));
    EXPECT_FALSE(seen.Shows(L"Kliknij OK"));
}

} // namespace
