// Start-up of the real dialog: the first target from the command line, the first count, the
// prompt for a path that cannot be opened, answered both ways.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <cstring>
#include <functional>
#include <string>

#include "app/job_context.h"
#include "app/text.h"
#include "common/test_support.h"
#include "res/resource.h"
#include "ui/dialog_harness.h"

using testsupport::TempDir;
using testsupport::WriteTextFile;
using uitest::MainDialogRun;

namespace {

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    PathRemoveFileSpecW(path);
    return path;
}

std::wstring LastComponent(const std::wstring &path) {
    return PathFindFileNameW(path.c_str());
}

// The prompt that start-up shows for a path it cannot open, answered with the button whose
// text is the given string; returns all texts the prompt showed.
std::wstring AnswerStartupPrompt(MainDialogRun &run, UINT answer) {
    HWND prompt = uitest::FindThreadDialog(run.ThreadId(), nullptr, 10000);
    EXPECT_NE(prompt, nullptr) << "no prompt for the path";
    if (!prompt)
        return L"";
    const std::wstring texts = uitest::AllTexts(prompt);
    HWND button = uitest::FindButton(prompt, LoadText(answer));
    EXPECT_NE(button, nullptr) << "prompt without the answer; it shows:\n"
                               << std::string(texts.begin(), texts.end());
    if (button)
        PostMessageW(button, BM_CLICK, 0, 0);
    return texts;
}

void ExpectPlaceholder(MainDialogRun &run) {
    EXPECT_EQ(run.Text(IDC_FILTER), L"");
    EXPECT_EQ(run.Text(IDC_TARGET_NAME), LastComponent(ProgramFolder()));
    EXPECT_STREQ(jobContext.folder, ProgramFolder().c_str());
    EXPECT_FALSE(run.Enabled(IDC_COUNT));
    EXPECT_FALSE(run.Enabled(IDOK));
    EXPECT_FALSE(run.Enabled(IDC_APPLY));
    EXPECT_EQ(run.Text(IDC_STATUS), L"");
}

} // namespace

TEST(MainDialogStartup, WithoutCommandLineShowsTheProgramFolderAndCountsNothing) {
    MainDialogRun run(L"");
    ASSERT_NE(run.Window(), nullptr);
    ExpectPlaceholder(run);
    // The filter controls stand where the two never-used check boxes were.
    EXPECT_TRUE(IsWindowVisible(run.Item(IDC_FILTER)));
    EXPECT_TRUE(IsWindowVisible(run.Item(IDC_COUNT)));
    EXPECT_FALSE(IsWindowVisible(run.Item(IDC_ALL_OF_TYPE)));
    EXPECT_FALSE(IsWindowVisible(run.Item(IDC_ALL_IN_FOLDER)));
    Sleep(500);
    EXPECT_EQ(run.Text(IDC_STATUS), L"") << "nothing may be counted for the placeholder";
    EXPECT_EQ(jobPhase, PhaseIdle);
}

TEST(MainDialogStartup, QuotedFolderLosesBothQuotesAndIsCountedKeepingItsAccessTime) {
    TempDir dir;
    WriteTextFile(dir / L"a.txt");
    WriteTextFile(dir / L"b.txt");
    testsupport::MakeFolder(dir / L"sub");
    // Older than its contents: listing the folder would move it.
    const SYSTEMTIME accessed = testsupport::MakeLocalTime(2011, 2, 3, 4, 5, 6);
    const FILETIME accessedUtc = testsupport::LocalToUtc(accessed);
    ASSERT_TRUE(testsupport::WriteTimes(dir.Path(), nullptr, &accessedUtc, nullptr));
    MainDialogRun run(L"\"" + dir.Path() + L"\"");
    ASSERT_NE(run.Window(), nullptr);
    EXPECT_STREQ(jobContext.folder, dir.Path().c_str());
    EXPECT_EQ(run.Text(IDC_FILTER), L"*.*");
    EXPECT_EQ(run.Text(IDC_TARGET_NAME), LastComponent(dir.Path()));
    // The first count runs by itself: two files, one sub-folder.
    ASSERT_TRUE(testsupport::PumpUntil(
        [&] { return !run.Text(IDC_STATUS).empty() && jobPhase == PhaseIdle; }, 10000));
    EXPECT_EQ(jobContext.flatCounts.files, 2u);
    EXPECT_EQ(jobContext.flatCounts.folders, 1u);
    EXPECT_TRUE(uitest::SameDateTime(accessed, uitest::PickerTime(run.Item(IDC_PICK_ACCESSED))));
    testsupport::ItemTimes times;
    ASSERT_TRUE(testsupport::ReadTimes(dir.Path(), &times));
    EXPECT_TRUE(testsupport::SameTime(accessedUtc, times.accessed))
        << "looking at the folder moved its access time";
    EXPECT_TRUE(run.Enabled(IDC_COUNT));
    EXPECT_TRUE(run.Enabled(IDOK));
    EXPECT_TRUE(run.Enabled(IDC_APPLY));
}

TEST(MainDialogStartup, UnquotedFileBecomesItsFolderAndItsName) {
    TempDir dir;
    WriteTextFile(dir / L"only.txt");
    WriteTextFile(dir / L"other.txt");
    MainDialogRun run(dir / L"only.txt");
    ASSERT_NE(run.Window(), nullptr);
    EXPECT_STREQ(jobContext.folder, dir.Path().c_str());
    EXPECT_STREQ(jobContext.pattern, L"only.txt");
    EXPECT_EQ(run.Text(IDC_FILTER), L"only.txt");
    ASSERT_TRUE(testsupport::PumpUntil([&] { return jobContext.flatCounts.files == 1; }, 10000));
}

TEST(MainDialogStartup, QuotedPathWithArgumentIsOnePathAndContinueKeepsThePlaceholder) {
    TempDir dir;
    WriteTextFile(dir / L"a.txt");
    // Taken whole: the inner quote and the argument belong to the path, which does not exist.
    MainDialogRun run(L"\"" + (dir / L"a.txt") + L"\" /extra");
    AnswerStartupPrompt(run, IDS_CONTINUE);
    ASSERT_NE(run.Window(), nullptr);
    ExpectPlaceholder(run);
}

TEST(MainDialogStartup, MissingPathContinueLeavesTheProgramFolderWithoutCount) {
    TempDir dir;
    MainDialogRun run(dir / L"does-not-exist.txt");
    const std::wstring texts = AnswerStartupPrompt(run, IDS_CONTINUE);
    EXPECT_NE(texts.find(L"does-not-exist.txt"), std::wstring::npos);
    ASSERT_NE(run.Window(), nullptr);
    ExpectPlaceholder(run);
    Sleep(300);
    EXPECT_EQ(run.Text(IDC_STATUS), L"");
}

TEST(MainDialogStartup, PathLongerThanTheSystemTakesIsReportedNotCut) {
    TempDir dir;
    // Its first characters name an existing folder: a cut path would open it.
    std::wstring folder = dir.Path() + L"\\";
    while (folder.size() < 240)
        folder += L"d";
    testsupport::MakeFolder(folder);
    ASSERT_TRUE(PathIsDirectoryW(folder.c_str()));
    std::wstring tooLong = folder + L"\\";
    while (tooLong.size() < 259)
        tooLong += L"e";
    testsupport::MakeFolder(tooLong);
    while (tooLong.size() < PathCapacity)
        tooLong += L"\\and-more-beyond-the-longest-path";
    MainDialogRun run(tooLong);
    const std::wstring texts = AnswerStartupPrompt(run, IDS_CONTINUE);
    EXPECT_NE(texts.find(L"206"), std::wstring::npos) << "the prompt names error 206";
    ASSERT_NE(run.Window(), nullptr);
    ExpectPlaceholder(run);
}

// A name that really ends in a dot or a space is that item, however the command line names it,
// and never its plain twin: its times are shown and only it is counted.
TEST(MainDialogStartup, NameEndingInADotOrASpaceIsThatItemNotItsTwin) {
    TempDir dir;
    const std::wstring dotted = dir / L"Photos.", spaced = dir / L"a.txt ";
    WriteTextFile(dir / L"Photos\\a.txt");
    WriteTextFile(dir / L"Photos\\b.txt");
    WriteTextFile(dotted + L"\\c.txt");
    WriteTextFile(dir / L"a.txt");
    WriteTextFile(spaced);
    const SYSTEMTIME own = testsupport::MakeLocalTime(2009, 3, 4, 5, 6, 7);
    const FILETIME ownUtc = testsupport::LocalToUtc(own);
    const FILETIME twinUtc = testsupport::MakeFileTime(2001, 1, 1, 1, 1, 1);
    for (const std::wstring &item : {dotted, spaced})
        ASSERT_TRUE(testsupport::WriteTimes(item, &ownUtc, &ownUtc, &ownUtc));
    for (const std::wstring &twin : {dir / L"Photos", dir / L"a.txt"})
        ASSERT_TRUE(testsupport::WriteTimes(twin, &twinUtc, &twinUtc, &twinUtc));
    const std::wstring folderName = LastComponent(dir.Path());
    const struct {
        std::wstring commandLine, folder, pattern, name;
    } cases[] = {
        {L"\"" + dotted + L"\"", dotted, L"*.*", L"Photos."},
        {dotted, dotted, L"*.*", L"Photos."},
        {L"\\\\?\\" + dotted, dotted, L"*.*", L"Photos."},
        {L"\"" + spaced + L"\"", dir.Path(), L"a.txt ", folderName},
        {spaced, dir.Path(), L"a.txt ", folderName},
        {L"\\\\?\\" + spaced, dir.Path(), L"a.txt ", folderName},
    };
    for (const auto &c : cases) {
        const std::string shown = testing::PrintToString(c.commandLine);
        MainDialogRun run(c.commandLine);
        ASSERT_NE(run.Window(), nullptr) << shown;
        EXPECT_EQ(std::wstring(jobContext.folder), c.folder) << shown;
        EXPECT_EQ(std::wstring(jobContext.pattern), c.pattern) << shown;
        EXPECT_EQ(run.Text(IDC_TARGET_NAME), c.name) << shown;
        EXPECT_TRUE(uitest::SameDateTime(uitest::PickerTime(run.Item(IDC_PICK_MODIFIED)), own))
            << shown;
        ASSERT_TRUE(testsupport::PumpUntil(
            [&] { return !run.Text(IDC_STATUS).empty() && jobPhase == PhaseIdle; }, 10000))
            << shown;
        EXPECT_EQ(jobContext.flatCounts.files, 1u) << shown;
    }
}

// "Close the program" ends the whole process at once with exit code 0: the real program.
TEST(MainDialogStartup, MissingPathCloseProgramEndsTheProcessWithZero) {
    TempDir dir;
    std::wstring commandLine =
        L"\"" + testsupport::BuildPath(L"Vandrel.exe") + L"\" " + (dir / L"gone.txt");
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    const std::wstring closeText = LoadText(IDS_CLOSE_PROGRAM);
    HWND button = nullptr;
    bool mainDialogShown = false;
    ASSERT_TRUE(testsupport::PumpUntil(
        [&] {
            for (HWND window : uitest::VisibleWindowsOf(process.dwProcessId)) {
                if (GetDlgItem(window, IDC_STATUS))
                    mainDialogShown = true;
                if (HWND found = uitest::FindButton(window, closeText))
                    button = found;
            }
            return button != nullptr;
        },
        15000));
    EXPECT_FALSE(mainDialogShown) << "the prompt comes before the main dialog shows";
    PostMessageW(button, BM_CLICK, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 15000), WAIT_OBJECT_0);
    DWORD exitCode = 1234;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    if (exitCode == STILL_ACTIVE)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

TEST(MainDialogLifecycle, CancelClosesWithResultZero) {
    MainDialogRun run(L"");
    ASSERT_NE(run.Window(), nullptr);
    EXPECT_TRUE(run.Click(IDCANCEL));
    ASSERT_TRUE(run.WaitClosed(5000));
    EXPECT_EQ(run.Result(), 0);
}

TEST(MainDialogLifecycle, EscapeAndCloseBoxCloseAsCancel) {
    {
        MainDialogRun run(L"");
        ASSERT_NE(run.Window(), nullptr);
        PostMessageW(run.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(run.WaitClosed(5000));
        EXPECT_EQ(run.Result(), 0);
    }
    {
        MainDialogRun run(L"");
        ASSERT_NE(run.Window(), nullptr);
        PostMessageW(run.Item(IDC_FILTER), WM_KEYDOWN, VK_ESCAPE, 0);
        ASSERT_TRUE(run.WaitClosed(5000));
        EXPECT_EQ(run.Result(), 0);
    }
}

TEST(MainDialogChinese, ShowsTheChineseResources) {
    ASSERT_TRUE(testsupport::IsChineseUi());
    TempDir dir;
    WriteTextFile(dir / L"a.txt");
    testsupport::MakeFolder(dir / L"sub");
    MainDialogRun run(dir.Path());
    ASSERT_NE(run.Window(), nullptr);
    ASSERT_TRUE(testsupport::PumpUntil(
        [&] { return !run.Text(IDC_STATUS).empty() && jobPhase == PhaseIdle; }, 10000));
    // The Chinese status text has no ASCII comma: the folder count always stays.
    EXPECT_EQ(run.Text(IDC_STATUS), L"文件：1，文件夹：1");
    EXPECT_EQ(run.Text(IDC_COUNT), L"过滤");
    const std::wstring caption = testsupport::WindowText(run.Window());
    bool chineseCaption = false;
    for (wchar_t c : caption)
        chineseCaption = chineseCaption || (c >= 0x4E00 && c <= 0x9FFF);
    EXPECT_TRUE(chineseCaption) << "the dialog's caption comes from the Chinese template";
}

TEST(MainDialogEnglish, ShowsTheEnglishResources) {
    ASSERT_TRUE(testsupport::IsEnglishUi());
    TempDir dir;
    WriteTextFile(dir / L"a.txt");
    testsupport::MakeFolder(dir / L"sub");
    MainDialogRun run(dir.Path());
    ASSERT_NE(run.Window(), nullptr);
    ASSERT_TRUE(testsupport::PumpUntil(
        [&] { return !run.Text(IDC_STATUS).empty() && jobPhase == PhaseIdle; }, 10000));
    // Without folders to stamp the folder count is cut off at the comma, as in Polish.
    EXPECT_EQ(run.Text(IDC_STATUS), L"Files: 1");
    EXPECT_EQ(run.Text(IDC_COUNT), L"Count files");
    EXPECT_EQ(testsupport::WindowText(run.Window()), L"Set date and time...");
}

namespace {

// Starts a program of the build folder and waits for a visible window of it that `match`
// accepts; then posts the window `closeWith` and expects the process to end with exit code 0.
void RunAndClose(const std::wstring &program, const std::wstring &args,
                 const std::function<bool(HWND)> &match, UINT closeWith, WPARAM wParam) {
    std::wstring commandLine = L"\"" + testsupport::BuildPath(program) + L"\" " + args;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    HWND found = nullptr;
    testsupport::PumpUntil(
        [&] {
            for (HWND window : uitest::VisibleWindowsOf(process.dwProcessId))
                if (match(window))
                    found = window;
            return found != nullptr;
        },
        20000);
    EXPECT_NE(found, nullptr) << "no such window";
    if (found)
        PostMessageW(found, closeWith, wParam, 0);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 15000), WAIT_OBJECT_0);
    DWORD exitCode = 1234;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    if (exitCode == STILL_ACTIVE)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

struct UiLanguage {
    const char *localePrefix;    // of LANG, as the test runner sets it
    WORD language;               // the user interface language Wine makes of it
    const wchar_t *caption;      // of the main dialog
    const wchar_t *closeProgram; // second button of the start-up prompt as a task dialog
    const wchar_t *okCancelHint; // last line of the start-up prompt as a message box
};

const wchar_t EnglishCaption[] = L"Set date and time...";
const wchar_t EnglishClose[] = L"Close program";
const wchar_t EnglishHint[] = L"Click OK to continue or Cancel to stop the process.";

const UiLanguage uiLanguages[] = {
    {"en_", LANG_ENGLISH, EnglishCaption, EnglishClose, EnglishHint},
    {"de_", LANG_GERMAN, EnglishCaption, EnglishClose, EnglishHint},
    {"ja_", LANG_JAPANESE, EnglishCaption, EnglishClose, EnglishHint},
    {"pl_", LANG_POLISH, L"Ustaw datę i czas...", L"Zamknij program",
     L"Kliknij OK, aby kontunuować lub Anuluj, aby przerwać proces."},
    {"zh_", LANG_CHINESE, L"设置日期和时间...", L"关闭程序",
     L"单击“确定”继续，或单击“取消”停止该过程。"},
};

} // namespace

// Windows picks the resources by the user interface language: Polish and Chinese have their own,
// every other language gets English. Run under each of these languages (the test runner sets
// LANG); the copy named *_xp.exe runs as Windows XP, where the start-up prompt is a message box
// instead of a task dialog.
TEST(ProgramAnyLanguage, ShowsTheResourcesOfItsUserInterfaceAlsoOnWindowsXp) {
    char lang[64] = {};
    GetEnvironmentVariableA("LANG", lang, sizeof lang);
    const UiLanguage *language = nullptr;
    for (const UiLanguage &candidate : uiLanguages)
        if (strncmp(lang, candidate.localePrefix, 3) == 0)
            language = &candidate;
    ASSERT_NE(language, nullptr) << "no expectation for LANG=" << lang;
    ASSERT_EQ(PRIMARYLANGID(GetUserDefaultUILanguage()), language->language)
        << "Wine did not take the user interface language from LANG=" << lang;
    for (const wchar_t *program : {L"Vandrel.exe", L"Vandrel_xp.exe"}) {
        SCOPED_TRACE(program);
        RunAndClose(
            program, L"",
            [&](HWND window) {
                return testsupport::WindowText(window) == language->caption &&
                       GetDlgItem(window, IDC_STATUS) != nullptr;
            },
            WM_COMMAND, IDCANCEL);
    }
    TempDir dir;
    const std::wstring missing = L"\"" + (dir / L"gone.txt") + L"\"";
    RunAndClose(
        L"Vandrel.exe", missing,
        [&](HWND window) { return uitest::FindButton(window, language->closeProgram) != nullptr; },
        WM_COMMAND, IDCANCEL);
    RunAndClose(
        L"Vandrel_xp.exe", missing,
        [&](HWND window) {
            return uitest::AllTexts(window).find(language->okCancelHint) != std::wstring::npos;
        },
        WM_COMMAND, IDCANCEL);
}
