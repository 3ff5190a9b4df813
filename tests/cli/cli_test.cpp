// The console program run as a user runs it, on real trees: what each kind of value does to each
// stamp, many paths at once, a preview that the apply then follows to the 100 ns, a saved list
// put back, exit codes and messages, and names that survive a pipe into a file.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "native/file_builders.h"

using namespace testsupport;

namespace {

constexpr int64_t Second = 10000000;

struct Result {
    DWORD code = 0;
    std::wstring out, err; // decoded from the UTF-8 the program writes into a file
};

std::wstring FromUtf8(const std::string &bytes) {
    std::wstring text(bytes.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    &text[0], static_cast<int>(text.size())));
    return text;
}

std::string Contents(const std::wstring &path) {
    std::string bytes(1 << 20, '\0');
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD read = 0;
    ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(RunsInWarsawTime());
        const Bytes photo = Jpeg({ExifSegment(Tiff(true, {{OriginalTag, "2024:01:31 23:59:59"}}))});
        Make(L"a.txt", "a", A);
        Make(L"sub\\b.txt", "b", B);
        Make(L"IMG_20230704_081910.jpg", std::string(photo.begin(), photo.end()), B);
        Make(L"za\u017C\u00F3\u0142\u0107 \u4E2D\u6587.txt", "c", A);
    }
    void Make(const std::wstring &name, const std::string &content, const FILETIME &time) {
        WriteTextFile(dir / name, content);
        ASSERT_TRUE(WriteTimes(dir / name, nullptr, &time, &time));
    }
    // The program with these arguments (the tree's folder is %D), its output as a pipe gives it.
    Result Cli(std::wstring arguments) {
        for (size_t at; (at = arguments.find(L"%D")) != std::wstring::npos;)
            arguments.replace(at, 2, L"\"" + dir.Path() + L"\"");
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        // Files of their own for each run: an ended program's handles may linger a moment.
        const std::wstring run = std::to_wstring(++runs);
        const std::wstring outPath = output / (L"out" + run), errPath = output / (L"err" + run);
        HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, 0, nullptr);
        HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, 0, nullptr);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out;
        startup.hStdError = err;
        std::wstring command = L"\"" + BuildPath(L"vandrel-cli.exe") + L"\" " + arguments;
        PROCESS_INFORMATION process = {};
        Result result;
        if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                           nullptr, &startup, &process)) {
            WaitForSingleObject(process.hProcess, 60000);
            GetExitCodeProcess(process.hProcess, &result.code);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        } else {
            result.code = 0xDEAD;
        }
        CloseHandle(out);
        CloseHandle(err);
        result.out = FromUtf8(Contents(outPath));
        result.err = FromUtf8(Contents(errPath));
        return result;
    }
    ItemTimes Now(const std::wstring &name) {
        ItemTimes times = {};
        ReadTimes(dir / name, &times);
        return times;
    }
    const FILETIME A = FromTicks(Ticks(MakeFileTime(2020, 1, 2, 3, 4, 5)) + 1234567);
    const FILETIME B = MakeFileTime(2019, 7, 8, 9, 10, 11);
    TempDir dir, output;
    int runs = 0;
};

TEST_F(CliTest, EachKindOfValueSetsItsStampAndOthersAreLeftAlone) {
    const FILETIME noon = LocalToUtc(MakeLocalTime(2024, 1, 31, 10, 0, 0));
    const struct {
        std::wstring arguments;
        const wchar_t *item;
        FILETIME written, accessed;
    } cases[] = {
        {L"--modified \"2024-01-31 10:00\" %D", L"a.txt", noon, A},
        {L"--modified 2024-01-31T10:00:00.5Z %D", L"a.txt",
         FromTicks(Ticks(MakeFileTime(2024, 1, 31, 10, 0, 0)) + Second / 2), A},
        {L"--modified 2024-07-31T10:00:00+02:00 %D", L"a.txt", MakeFileTime(2024, 7, 31, 8, 0, 0),
         A},
        {L"--accessed -2d3h %D", L"a.txt", A, FromTicks(Ticks(A) - (51 * 3600) * Second)},
        {L"--all +1h30m %D", L"a.txt", FromTicks(Ticks(A) + 5400 * Second),
         FromTicks(Ticks(A) + 5400 * Second)},
        {L"--modified taken %D", L"IMG_20230704_081910.jpg",
         LocalToUtc(MakeLocalTime(2024, 1, 31, 23, 59, 59)), B},
        {L"--modified name %D", L"IMG_20230704_081910.jpg",
         LocalToUtc(MakeLocalTime(2023, 7, 4, 8, 19, 10)), B},
        // Mixed sources in one call: the access time copied from the shifted-before write time.
        {L"--modified +1h --accessed modified %D", L"a.txt", FromTicks(Ticks(A) + 3600 * Second),
         A},
        {L"--modified newest --folders --subfolders %D", L"sub", B, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.arguments.begin(), c.arguments.end()));
        SetUp();
        const Result result = Cli(c.arguments);
        EXPECT_EQ(0u, result.code) << std::string(result.err.begin(), result.err.end());
        EXPECT_EQ(Ticks(c.written), Ticks(Now(c.item).written));
        if (Ticks(c.accessed) != 0) {
            EXPECT_EQ(Ticks(c.accessed), Ticks(Now(c.item).accessed));
        }
    }
}

TEST_F(CliTest, APreviewChangesNothingAndPrintsWhatTheApplyThenDoesToTheHundredNanoseconds) {
    const Result preview =
        Cli(L"--preview --modified -1h --subfolders %D \"" + (dir / L"a.txt") + L"\"");
    EXPECT_EQ(0u, preview.code);
    EXPECT_EQ(Ticks(A), Ticks(Now(L"a.txt").written)) << "the preview changed a.txt";
    const std::wstring line = dir / L"a.txt" + L"  modified: 2020-01-02T04:04:05.1234567+01:00 -> "
                                               L"2020-01-02T03:04:05.1234567+01:00\n";
    EXPECT_NE(std::wstring::npos, preview.out.find(line)) << "a folder and a file of it: twice";
    EXPECT_NE(std::wstring::npos, preview.out.find(L"Changed: 5 of 5, without a date: 0"));
    EXPECT_EQ(0u, Cli(L"--modified -1h --subfolders %D").code);
    EXPECT_EQ(Ticks(A) - 3600 * Second, Ticks(Now(L"a.txt").written));
}

TEST_F(CliTest, ASavedListPutsBackEveryTimeOfManyPathsAndNamesSurviveThePipe) {
    const std::wstring list = output / L"times.csv";
    const std::wstring polish = L"za\u017C\u00F3\u0142\u0107 \u4E2D\u6587.txt";
    Result saved = Cli(L"--save-list \"" + list + L"\" --all 2001-01-01 --preview %D \"" +
                       (dir / L"sub") + L"\"");
    EXPECT_EQ(0u, saved.code);
    EXPECT_NE(std::wstring::npos, saved.out.find(polish)) << "UTF-8 through the pipe";
    EXPECT_EQ(0u, Cli(L"--all +3d %D \"" + (dir / L"sub") + L"\"").code);
    EXPECT_EQ(0u, Cli(L"--all list --list \"" + list + L"\" %D \"" + (dir / L"sub") + L"\"").code);
    EXPECT_EQ(Ticks(A), Ticks(Now(polish).written));
    EXPECT_EQ(Ticks(A), Ticks(Now(L"a.txt").accessed));
    EXPECT_EQ(Ticks(B), Ticks(Now(L"sub\\b.txt").written));
}

TEST_F(CliTest, ExitCodesAndMessagesSayWhatWentWrong) {
    // A shift that takes the files of 2020 past 30827 but the older ones not: those are refused,
    // the job goes on.
    const int64_t last = 0x7FFFFFFFFFFFFFFFll, day = 86400 * Second;
    const int64_t days = (last - Ticks(A)) / day + 1;
    const Result failed = Cli(L"--modified +" + std::to_wstring(days) + L"d %D");
    EXPECT_EQ(1u, failed.code);
    EXPECT_NE(std::wstring::npos, failed.err.find(dir / L"a.txt" + L": the new time lies outside"));
    EXPECT_NE(std::wstring::npos, failed.out.find(L"failed: 2")) << "a.txt and its twin in time";
    // (The volume may keep less of so late a time than it is given.)
    EXPECT_NE(Ticks(B), Ticks(Now(L"IMG_20230704_081910.jpg").written)) << "the job went on";
    const struct {
        std::wstring arguments;
        const wchar_t *message;
    } usage[] = {
        {L"--modified yesterday %D", L"\"yesterday\" is no time, shift or source"},
        {L"--frobnicate %D", L"unknown option --frobnicate"},
        {L"--all list %D", L"needs --list FILE"},
        {L"%D", L"nothing to do"},
        {L"--modified +1h \"" + (dir / L"missing") + L"\"", L"expected an existing file"},
    };
    for (const auto &c : usage) {
        const Result result = Cli(c.arguments);
        EXPECT_EQ(2u, result.code) << std::string(c.arguments.begin(), c.arguments.end());
        EXPECT_NE(std::wstring::npos, result.err.find(c.message))
            << std::string(result.err.begin(), result.err.end());
    }
    EXPECT_EQ(Ticks(A), Ticks(Now(L"a.txt").written)) << "refused or bad usage changed it";
    const Result help = Cli(L"/?");
    EXPECT_NE(std::wstring::npos, help.out.find(L"Usage: vandrel-cli"))
        << help.code << std::string(help.out.begin(), help.out.end());
}

} // namespace
