// Stands in for a program that the code under test starts (a mail client, a browser): it appends
// how it was started to a file and ends. One record per run, UTF-8:
//   command <the full command line>
//   show <dwFlags of the start-up record, hex> <wShowWindow>
// The file is named by the environment variable VANDREL_RECORDER_FILE, else it is
// %TEMP%\vandrel-recorder.txt. The record is written with one call, so a reader that sees the
// final line break sees the whole record.
#include <windows.h>

#include <string>

namespace {

std::string ToUtf8(const wchar_t *text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return std::string();
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], size, nullptr, nullptr);
    result.resize(static_cast<size_t>(size - 1));
    return result;
}

std::wstring RecordFile() {
    wchar_t path[MAX_PATH * 2] = {};
    const DWORD length = GetEnvironmentVariableW(L"VANDREL_RECORDER_FILE", path, MAX_PATH * 2);
    if (length > 0 && length < MAX_PATH * 2)
        return path;
    GetTempPathW(MAX_PATH, path);
    return std::wstring(path) + L"vandrel-recorder.txt";
}

} // namespace

int wmain() {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    char show[64];
    wsprintfA(show, "show %lx %u\n", startup.dwFlags, static_cast<unsigned>(startup.wShowWindow));
    const std::string record = "command " + ToUtf8(GetCommandLineW()) + "\n" + show;

    HANDLE file = CreateFileW(RecordFile().c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 1;
}
