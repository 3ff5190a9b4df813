// The console program against the dialog's engine on the same files: an apply over a folder by
// vandrel-cli (a process of its own, started and waited for) and by the dialog's controller in
// this process, and the start-to-exit time of the console program for one file. Prints
// figures; asserts nothing. Usage: vandrel_cli_bench [files]   (default: 2000)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/job_context.h"
#include "app/text.h"
#include "bench/bench_support.h"
#include "ui/job_controller.h"

namespace {

std::wstring ConsoleProgram() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring program = path;
    program.resize(program.find_last_of(L'\\'));
    return program.substr(0, program.find_last_of(L'\\')) + L"\\vandrel-cli.exe";
}

// One run of the console program with these arguments: its seconds from start to exit.
double RunConsoleProgram(const std::wstring &arguments) {
    std::wstring command = L"\"" + ConsoleProgram() + L"\" --quiet " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const double start = Seconds();
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return 1e9;
    WaitForSingleObject(process.hProcess, INFINITE);
    const double seconds = Seconds() - start;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return seconds;
}

// The dialog's apply of the same job, through its controller, headless.
double DialogApply(const std::wstring &folder) {
    jobContext.Reset();
    CopyText(jobContext.folder, PathCapacity, folder.c_str());
    CopyText(jobContext.pickedPath, PathCapacity, folder.c_str());
    CopyText(jobContext.pattern, PatternCapacity, L"*.*");
    const SYSTEMTIME local = {2010, 10, 0, 10, 10, 10, 0, 0};
    jobContext.useModified = 1;
    jobContext.timeModified.Store(local);
    jobContext.flatCounts.files = 1; // counted already: the apply runs alone
    jobContext.applyMode = 1;
    const double start = Seconds();
    StartJobThread();
    WaitUntilNoController();
    undoHistory.Clear();
    return Seconds() - start;
}

} // namespace

int main(int argc, char **argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 2000;
    appInstance = GetModuleHandleW(nullptr);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"vandrel-cli-bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 0; i < files; ++i) {
        const std::wstring name = folder + L"\\file" + std::to_wstring(i) + L".txt";
        HANDLE file =
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(file);
    }
    const std::wstring arguments = L"--modified \"2010-10-10 10:10:10\" \"" + folder + L"\"";
    double dialog = 1e9, console = 1e9;
    for (int round = 0; round < 4; ++round) {
        dialog = std::min(dialog, DialogApply(folder));
        console = std::min(console, RunConsoleProgram(arguments));
    }
    std::printf("%d files: vandrel-cli apply / the dialog's apply: %.3f (%.0f / %.0f files/s, the "
                "console program's start and exit included)\n",
                files, console / dialog, files / console, files / dialog);
    std::vector<double> one;
    const std::wstring single = L"--modified +1s \"" + folder + L"\\file0.txt\"";
    for (int run = 0; run < 11; ++run)
        one.push_back(RunConsoleProgram(single));
    std::sort(one.begin(), one.end());
    std::printf("vandrel-cli on one file, start to exit: median %.0f ms, fastest %.0f ms, slowest "
                "%.0f ms (11 runs)\n",
                one[5] * 1000, one.front() * 1000, one.back() * 1000);
    for (int i = 0; i < files; ++i)
        DeleteFileW((folder + L"\\file" + std::to_wstring(i) + L".txt").c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
