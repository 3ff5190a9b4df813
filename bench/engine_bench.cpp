// Count and apply passes of the real engine (controller, walk and stamping, with no dialog)
// against the shortest loop of the same Win32 calls, over a generated folder tree.
// Usage: vandrel_bench [files...]   (default: 20000 100000)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "app/job_context.h"
#include "bench/bench_support.h"
#include "app/text.h"
#include "ui/job_controller.h"
#include "engine/preview.h"
#include "engine/time_rule.h"
#include "engine/undo.h"
#include "engine/walk.h"

namespace {

constexpr int FilesPerFolder = 100;
constexpr int FoldersPerFolder = 8;

// Deterministic names: several lengths, with and without extension, some Polish letters.
void ItemName(wchar_t *name, size_t capacity, int index) {
    static const wchar_t *const stems[] = {
        L"a", L"raport", L"zdjęcie ", L"Dokument_końcowy", L"x-y.z", L"bardzo długa nazwa pliku"};
    static const wchar_t *const extensions[] = {L".txt", L".jpg", L"", L".JPEG", L".tar.gz"};
    FormatText(name, capacity, L"%s%d%s", stems[index % 6], index, extensions[(index / 6) % 5]);
}

struct TreeBuilder {
    int filesLeft;
    int fileIndex = 0;
    int folders = 0;
};

void BuildLevel(TreeBuilder &tree, wchar_t *path, size_t length, int depth) {
    wchar_t name[64];
    for (int i = 0; i < FilesPerFolder && tree.filesLeft > 0; ++i, --tree.filesLeft) {
        ItemName(name, 64, tree.fileIndex);
        FormatText(path + length, PathCapacity - length, L"\\%s", name);
        HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        CloseHandle(file);
        if (tree.fileIndex % 100 == 7)
            SetFileAttributesW(path, FILE_ATTRIBUTE_READONLY);
        ++tree.fileIndex;
    }
    for (int i = 0; i < FoldersPerFolder && tree.filesLeft > 0 && depth < 6; ++i) {
        const size_t childLength =
            length + swprintf(path + length, PathCapacity - length, L"\\folder %d-%d", depth, i);
        CreateDirectoryW(path, nullptr);
        ++tree.folders;
        BuildLevel(tree, path, childLength, depth + 1);
    }
    path[length] = L'\0';
}

void RemoveLevel(wchar_t *path, size_t length) {
    WIN32_FIND_DATAW entry;
    lstrcpyW(path + length, L"\\*");
    HANDLE find = FindFirstFileW(path, &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (entry.cFileName[0] == L'.')
                continue;
            const size_t childLength =
                length + swprintf(path + length, PathCapacity - length, L"\\%ls", entry.cFileName);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveLevel(path, childLength);
                RemoveDirectoryW(path);
            } else {
                SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path);
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    path[length] = L'\0';
}

// The same work as the engine, as plain as it can be written.
size_t Append(wchar_t *path, size_t length, const wchar_t *name) {
    path[length] = L'\\';
    lstrcpyW(path + length + 1, name);
    return length + 1 + lstrlenW(name);
}

struct BareCounts {
    unsigned files = 0, folders = 0;
};

// Calls visit for each entry of the folder path (length characters) that the pattern (with its
// leading backslash) finds; path ends at length again before each visit and at the end.
template <class Visit>
void BareEach(wchar_t *path, size_t length, const wchar_t *pattern, Visit visit) {
    WIN32_FIND_DATAW entry;
    lstrcpyW(path + length, pattern);
    HANDLE find = FindFirstFileW(path, &entry);
    path[length] = L'\0';
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        visit(entry);
        path[length] = L'\0';
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

bool IsSubFolder(const WIN32_FIND_DATAW &entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && entry.cFileName[0] != L'.';
}

void BareCount(wchar_t *path, size_t length, BareCounts &counts) {
    BareEach(path, length, L"\\*.*", [&](const WIN32_FIND_DATAW &entry) {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ++counts.files;
    });
    BareEach(path, length, L"\\*", [&](const WIN32_FIND_DATAW &entry) {
        if (!IsSubFolder(entry))
            return;
        ++counts.folders;
        BareCount(path, Append(path, length, entry.cFileName), counts);
    });
}

void BareStamp(const wchar_t *path, DWORD flags, const FILETIME &time) {
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    HANDLE item =
        CreateFileW(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
    if (item != INVALID_HANDLE_VALUE) {
        SetFileTime(item, &time, &time, &time);
        CloseHandle(item);
    }
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path, attributes);
}

void BareApply(wchar_t *path, size_t length, const FILETIME &time, BareCounts &counts) {
    BareEach(path, length, L"\\*.*", [&](const WIN32_FIND_DATAW &entry) {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return;
        Append(path, length, entry.cFileName);
        BareStamp(path, FILE_FLAG_BACKUP_SEMANTICS, time);
        ++counts.files;
    });
    BareEach(path, length, L"\\*", [&](const WIN32_FIND_DATAW &entry) {
        if (!IsSubFolder(entry))
            return;
        BareApply(path, Append(path, length, entry.cFileName), time, counts);
        BareStamp(path, FILE_FLAG_BACKUP_SEMANTICS, time);
        ++counts.folders;
    });
}

// One request of the real engine, headless, waited for.
double EnginePass(int applyMode) {
    jobContext.applyMode = applyMode;
    if (applyMode == 0 || applyMode == PreviewMode) // a preview counts as a count does
        jobContext.ClearCounts();
    const double start = Seconds();
    StartJobThread();
    WaitUntilNoController();
    return Seconds() - start;
}

// The walk alone, on this thread, without the controller around it.
double DirectCount() {
    jobContext.applyMode = 0;
    jobContext.ClearCounts();
    jobPhase = PhaseCounting;
    const double start = Seconds();
    WalkFolder(&jobContext);
    const double elapsed = Seconds() - start;
    jobPhase = PhaseIdle;
    return elapsed;
}

void Report(const char *what, unsigned items, double engine, double bare) {
    std::printf("  %-6s %7u items  engine %9.0f items/s  bare loop %9.0f items/s  ratio %.3f\n",
                what, items, items / engine, items / bare, engine / bare);
}

void RunSize(int files) {
    wchar_t root[PathCapacity];
    GetTempPathW(PathCapacity, root);
    wchar_t path[PathCapacity];
    FormatText(path, PathCapacity, L"%svandrel-bench-%d", root, files);
    size_t length = lstrlenW(path);
    RemoveLevel(path, length);
    CreateDirectoryW(path, nullptr);

    TreeBuilder tree{files};
    const double built = Seconds();
    BuildLevel(tree, path, length, 0);
    std::printf("%d files in %d folders (1%% read-only), built in %.1f s\n", tree.fileIndex,
                tree.folders, Seconds() - built);

    jobContext.Reset();
    CopyText(jobContext.folder, PathCapacity, path);
    CopyText(jobContext.pickedPath, PathCapacity, path);
    CopyText(jobContext.pattern, PatternCapacity, L"*.*");
    jobContext.includeSubfolders = 1;
    jobContext.applyToFolders = 1;
    const SYSTEMTIME local = {2010, 10, 0, 10, 10, 10, 10, 0};
    jobContext.useCreated = jobContext.useModified = jobContext.useAccessed = 1;
    jobContext.timeCreated.Store(local);
    jobContext.timeModified.Store(local);
    jobContext.timeAccessed.Store(local);
    FILETIME localFile, time;
    SystemTimeToFileTime(&local, &localFile);
    LocalFileTimeToFileTime(&localFile, &time);

    // Alternate the two and keep the best time of each: the file cache is warm for both.
    double directCount = 1e9;
    double engineCount = 1e9, bareCount = 1e9, engineApply = 1e9, bareApply = 1e9;
    double unrecordedApply = 1e9;
    // The rules of each item's own: a shift and a copy, and the preview pass against a count.
    double shiftApply = 1e9, copyApply = 1e9, previewPass = 1e9;
    size_t previewBytes = 0;
    size_t recordBytes = 0;
    BareCounts counted, applied;
    // Each round runs the two in the other order.
    for (int round = 0; round < 4; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            if ((round + turn) % 2 == 0) {
                double start = Seconds();
                counted = BareCounts();
                BareCount(path, length, counted);
                bareCount = std::min(bareCount, Seconds() - start);
                start = Seconds();
                applied = BareCounts();
                BareApply(path, length, time, applied);
                bareApply = std::min(bareApply, Seconds() - start);
            } else {
                directCount = std::min(directCount, DirectCount());
                engineCount = std::min(engineCount, EnginePass(0));
                // With and without the undo record, each first in every other round.
                for (int recorded = 0; recorded < 2; ++recorded) {
                    const bool on = (recorded + round) % 2 == 0;
                    undoHistory.SetRecording(on);
                    const double elapsed = EnginePass(1);
                    if (on) {
                        engineApply = std::min(engineApply, elapsed);
                        if (const UndoRecord *record = undoHistory.Newest())
                            recordBytes = record->BytesReserved();
                        undoHistory.Clear();
                    } else {
                        unrecordedApply = std::min(unrecordedApply, elapsed);
                    }
                }
                undoHistory.SetRecording(true);
                jobContext.timeRule = RuleShift;
                jobContext.shift[StampIndexWritten].Store(36000000000);
                shiftApply = std::min(shiftApply, EnginePass(1));
                undoHistory.Clear();
                jobContext.timeRule = RuleCopyModified;
                copyApply = std::min(copyApply, EnginePass(1));
                undoHistory.Clear();
                previewPass = std::min(previewPass, EnginePass(PreviewMode));
                previewBytes = previewList.BytesReserved();
                previewList.Clear();
                jobContext.timeRule = RuleSetDates;
            }
        }
    }
    const unsigned items = counted.files + counted.folders;
    if (jobContext.deepCounts.files != counted.files ||
        jobContext.deepCounts.folders != counted.folders || processedFiles != applied.files ||
        processedFolders != applied.folders)
        std::printf("  MISMATCH: engine counted %u/%u, stamped %u/%u; bare loop %u/%u, %u/%u\n",
                    jobContext.deepCounts.files.load(), jobContext.deepCounts.folders.load(),
                    processedFiles.load(), processedFolders.load(), counted.files, counted.folders,
                    applied.files, applied.folders);
    Report("count", items, engineCount, bareCount);
    std::printf("  (the walk alone, without its threads: count %.0f items/s, ratio %.3f)\n",
                items / directCount, directCount / bareCount);
    Report("apply", items, engineApply, bareApply);
    std::printf("  apply with the undo record / without it: ratio %.3f; the record reserves %zu "
                "KiB, %.0f bytes an item\n",
                engineApply / unrecordedApply, recordBytes / 1024,
                static_cast<double>(recordBytes) / items);
    std::printf("  apply with a shift / with the dates: ratio %.3f; with a copy of the "
                "modification time: ratio %.3f\n",
                shiftApply / engineApply, copyApply / engineApply);
    std::printf("  preview pass / count pass: ratio %.3f; the list reserves %zu KiB, %.0f bytes "
                "an item\n",
                previewPass / engineCount, previewBytes / 1024,
                static_cast<double>(previewBytes) / items);
    std::printf("  peak working set %zu KiB\n", PeakMemoryKiB());
    RemoveLevel(path, length);
    RemoveDirectoryW(path);
}

} // namespace

int main(int argc, char **argv) {
    appInstance = GetModuleHandleW(nullptr);
    if (argc > 1) {
        for (int i = 1; i < argc; ++i)
            RunSize(std::atoi(argv[i]));
    } else {
        RunSize(20000);
        RunSize(100000);
    }
    return 0;
}
