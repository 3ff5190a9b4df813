// The real program, started as its own process on a folder and driven from another process by
// the automation helper, under either user-interface language.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "common/test_support.h"

using testsupport::BuildPath;
using testsupport::MakeLocalTime;
using testsupport::TempDir;

namespace {

struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;
    ~Process() {
        if (handle) {
            if (WaitForSingleObject(handle, 0) == WAIT_TIMEOUT)
                TerminateProcess(handle, 99);
            CloseHandle(handle);
        }
    }
};

bool Start(std::wstring commandLine, Process *process) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process->handle = info.hProcess;
    process->id = info.dwProcessId;
    return true;
}

DWORD RunToEnd(const std::wstring &commandLine, DWORD timeoutMs) {
    Process process;
    if (!Start(commandLine, &process))
        return 1000;
    if (WaitForSingleObject(process.handle, timeoutMs) != WAIT_OBJECT_0)
        return 1001;
    DWORD code = 1002;
    GetExitCodeProcess(process.handle, &code);
    return code;
}

std::string ReadLog(const std::wstring &path) {
    std::ifstream in(std::string(path.begin(), path.end()));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

testsupport::ItemTimes Times(const std::wstring &path) {
    testsupport::ItemTimes times = {};
    EXPECT_TRUE(testsupport::ReadTimes(path, &times));
    return times;
}

SYSTEMTIME Local(const FILETIME &utc) {
    return testsupport::UtcToLocal(utc);
}

std::wstring Describe(const FILETIME &utc) {
    const SYSTEMTIME t = Local(utc);
    wchar_t text[64];
    _snwprintf(text, 64, L"%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
               t.wMinute, t.wSecond);
    return text;
}

std::string Narrow(const std::wstring &text) {
    return std::string(text.begin(), text.end());
}

} // namespace

TEST(EndToEndAnyLanguage, ProgramIsDrivenFromAnotherProcessAndStampsTheFiles) {
    TempDir dir;
    for (const wchar_t *name : {L"a.txt", L"b.txt", L"c.log", L"sub\\d.txt", L"sub\\e.txt"})
        testsupport::WriteTextFile(dir / name);
    const FILETIME old = testsupport::LocalToUtc(MakeLocalTime(1999, 9, 9, 9, 9, 9));
    for (const wchar_t *name : {L"a.txt", L"b.txt", L"c.log", L"sub\\d.txt", L"sub\\e.txt"})
        ASSERT_TRUE(testsupport::WriteTimes(dir / name, &old, &old, &old));
    // The pickers start from the folder's own times.
    const SYSTEMTIME folderTime = MakeLocalTime(2010, 4, 15, 10, 20, 30);
    const FILETIME folderUtc = testsupport::LocalToUtc(folderTime);
    ASSERT_TRUE(testsupport::WriteTimes(dir.Path(), &folderUtc, &folderUtc, &folderUtc));

    Process program;
    ASSERT_TRUE(Start(L"\"" + BuildPath(L"Vandrel.exe") + L"\" " + dir.Path(), &program));
    TempDir logs;
    const std::wstring log = logs / L"automation.log";
    const std::wstring automation = L"\"" + BuildPath(L"tests\\automation.exe") + L"\" ";
    const std::wstring ids = std::to_wstring(program.id) + L" \"" + log + L"\" ";

    // Flat *.*: a.txt b.txt c.log; then *.txt: 2; with sub-folders: 4.
    ASSERT_EQ(RunToEnd(automation + L"apply " + ids + L"*.txt 3 2 4", 90000), 0u) << ReadLog(log);

    // One step up in the first field of the picker's format: the day in Polish
    // (dd.MM.yyyy), the year in Chinese (yyyy/M/d), the month in English (MM/dd/yyyy).
    SYSTEMTIME modified = folderTime;
    if (testsupport::IsChineseUi())
        modified.wYear += 1;
    else if (testsupport::IsEnglishUi())
        modified.wMonth += 1;
    else
        modified.wDay += 1;
    bool stamped = false;
    for (int tries = 0; tries < 50 && !stamped; ++tries, Sleep(100))
        stamped = testsupport::SameTime(Times(dir / L"sub\\e.txt").written,
                                        testsupport::LocalToUtc(modified));
    for (const wchar_t *name : {L"a.txt", L"b.txt", L"sub\\d.txt", L"sub\\e.txt"}) {
        const testsupport::ItemTimes times = Times(dir / name);
        EXPECT_TRUE(testsupport::SameTime(times.written, testsupport::LocalToUtc(modified)))
            << "modified " << Narrow(Describe(times.written));
        // The folder's access time moves when its listing is read, so the picker may have
        // started from a later value; it was stepped, so it is neither the old nor a file's.
        EXPECT_FALSE(testsupport::SameTime(times.accessed, old)) << "access time not written";
        EXPECT_TRUE(testsupport::SameTime(times.accessed, Times(dir / L"a.txt").accessed));
    }
    const testsupport::ItemTimes outside = Times(dir / L"c.log");
    EXPECT_TRUE(testsupport::SameTime(outside.written, old)) << "c.log is outside the filter";
    EXPECT_TRUE(testsupport::SameTime(outside.accessed, old));

    // The system menu's undo puts every stamped item back.
    ASSERT_EQ(RunToEnd(automation + L"undo " + ids, 60000), 0u) << ReadLog(log);
    for (const wchar_t *name : {L"a.txt", L"b.txt", L"sub\\d.txt", L"sub\\e.txt"}) {
        const testsupport::ItemTimes times = Times(dir / name);
        EXPECT_TRUE(testsupport::SameTime(times.written, old)) << "not undone";
        EXPECT_TRUE(testsupport::SameTime(times.accessed, old));
    }

    ASSERT_EQ(RunToEnd(automation + L"ok " + ids, 30000), 0u) << ReadLog(log);
    ASSERT_EQ(WaitForSingleObject(program.handle, 30000), WAIT_OBJECT_0)
        << "OK did not close the program";
    DWORD exitCode = 1;
    GetExitCodeProcess(program.handle, &exitCode);
    EXPECT_EQ(exitCode, 0u);
}
