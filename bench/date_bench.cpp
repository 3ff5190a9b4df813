// What the rules that find each item's time cost against an apply with a fixed date, through the
// real engine (controller, walk, stamping; no dialog): the date taken of real-sized photos, a
// third of them without any date; the sidecars of a photo service's export; the newest file
// inside each folder; and times put back from a saved list. Prints figures; asserts nothing.
// Usage: vandrel_date_bench [files]   (default: 2000; the README's figures are for 20000)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/job_context.h"
#include "app/text.h"
#include "bench/bench_support.h"
#include "engine/item_date.h"
#include "ui/job_controller.h"
#include "engine/list_file.h"
#include "engine/preview.h"
#include "engine/saved_times.h"
#include "engine/stamp.h"
#include "engine/time_rule.h"
#include "engine/undo.h"
#include "native/file_builders.h"
#include "engine/list_texts.h"
#include "ui/preview_dialog.h"

namespace {

std::wstring Join(const std::wstring &folder, const std::wstring &name) {
    return folder + L"\\" + name;
}

void Write(const std::wstring &path, const Bytes &bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void Write(const std::wstring &path, const std::string &text) {
    Write(path, Bytes(text.begin(), text.end()));
}

// A camera's layout: a JFIF header, the EXIF block with its fields and a thumbnail's worth of
// bytes, then the image data; 20 to 100 KB. Every third photo has no EXIF at all, as screenshots
// and edited copies have none.
Bytes Photo(int index) {
    char taken[32];
    std::snprintf(taken, sizeof taken, "2023:%02d:%02d %02d:%02d:%02d", index % 12 + 1,
                  index % 28 + 1, index % 24, index % 60, (index * 7) % 60);
    std::vector<Bytes> segments = {JpegSegment(0xE0, Bytes(14, 0x4A))};
    if (index % 3 != 2) {
        Bytes tiff =
            Tiff(true, {{OriginalTag, taken}, {OriginalSubSecTag, "42"}}, {{DateTimeTag, taken}});
        tiff.resize(tiff.size() + 6000 + (index % 7) * 1000, 0x5A);
        segments.push_back(ExifSegment(tiff));
    }
    segments.push_back(JpegSegment(0xDB, Bytes(130, 0x10)));
    Bytes jpeg = Jpeg(segments);
    jpeg.insert(jpeg.end() - 2, 20000 + (index * 7919) % 80000, 0x33);
    return jpeg;
}

// The calls that open an item and read and set its times, counted over a pass.
std::atomic<long> opens{0}, timeSets{0}, timeReads{0};
BOOL WINAPI CountedGetFileTime(HANDLE item, FILETIME *created, FILETIME *accessed,
                               FILETIME *written) {
    ++timeReads;
    return GetFileTime(item, created, accessed, written);
}
HANDLE WINAPI CountedOpen(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE model) {
    ++opens;
    return CreateFileW(path, access, share, security, disposition, flags, model);
}
BOOL WINAPI CountedSetFileTime(HANDLE item, const FILETIME *created, const FILETIME *accessed,
                               const FILETIME *written) {
    ++timeSets;
    return SetFileTime(item, created, accessed, written);
}

struct Job {
    std::wstring folder; // extended-length form
    const wchar_t *pattern = L"*";
    int32_t rule = RuleSetDates;
    bool folders = false;
    bool deep = false;
    bool accessed = false;
};

// One pass of the real engine, headless, waited for: its seconds.
double Pass(const Job &job, int32_t mode) {
    jobContext.Reset();
    CopyText(jobContext.folder, PathCapacity, job.folder.c_str() + 4); // without the prefix
    CopyText(jobContext.pickedPath, PathCapacity, jobContext.folder);
    CopyText(jobContext.pattern, PatternCapacity, job.pattern);
    const SYSTEMTIME local = {2010, 10, 0, 10, 10, 10, 10, 0};
    jobContext.useModified = 1;
    jobContext.timeModified.Store(local);
    jobContext.useAccessed = job.accessed;
    jobContext.timeAccessed.Store(local);
    jobContext.timeRule = job.rule;
    jobContext.includeSubfolders = job.deep;
    jobContext.applyToFolders = job.folders;
    (job.deep ? jobContext.deepCounts : jobContext.flatCounts).files = 1; // the apply runs alone
    jobContext.applyMode = mode;
    const double start = Seconds();
    StartJobThread();
    WaitUntilNoController();
    undoHistory.Clear();
    return Seconds() - start;
}

// Best of four alternating rounds of each, the file cache warm for both: rule over set.
void Compare(const char *what, int items, const Job &set, const Job &rule) {
    double fixed = 1e9, found = 1e9;
    for (int round = 0; round < 4; ++round) {
        fixed = std::min(fixed, Pass(set, 1));
        found = std::min(found, Pass(rule, 1));
    }
    const auto counted = [](const Job &job, long *calls) {
        opens = timeSets = timeReads = 0;
        stampCalls.createFile = CountedOpen;
        stampCalls.setFileTime = CountedSetFileTime;
        stampCalls.getFileTime = CountedGetFileTime;
        Pass(job, 1);
        stampCalls.createFile = CreateFileW;
        stampCalls.setFileTime = SetFileTime;
        stampCalls.getFileTime = GetFileTime;
        calls[0] = opens;
        calls[1] = timeReads;
        calls[2] = timeSets;
    };
    long ruleCalls[3], setCalls[3];
    counted(rule, ruleCalls);
    counted(set, setCalls);
    std::printf("  %s: %.3f of a fixed date (%.0f / %.0f items/s)\n", what, found / fixed,
                items / found, items / fixed);
    std::printf("    calls per item, against a fixed date: opens %.2f / %.2f, time reads %.2f / "
                "%.2f, time sets %.2f / %.2f\n",
                double(ruleCalls[0]) / items, double(setCalls[0]) / items,
                double(ruleCalls[1]) / items, double(setCalls[1]) / items,
                double(ruleCalls[2]) / items, double(setCalls[2]) / items);
}

void RemoveTree(const std::wstring &folder) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(Join(folder, L"*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring path = Join(folder, entry.cFileName);
            if (entry.cFileName[0] == L'.')
                continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

std::wstring MakeFolder(const std::wstring &temp, const wchar_t *name) {
    const std::wstring folder = std::wstring(L"\\\\?\\") + temp + name;
    RemoveTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void PhotosBench(const std::wstring &temp, int files) {
    const std::wstring folder = MakeFolder(temp, L"vandrel-bench-photos");
    size_t bytes = 0;
    for (int i = 0; i < files; ++i) {
        wchar_t name[32];
        wsprintfW(name, L"IMG%05d.jpg", i);
        const Bytes photo = Photo(i);
        bytes += photo.size();
        Write(Join(folder, name), photo);
    }
    std::printf("%d JPEGs of %zu bytes on average, a third without a date\n", files,
                bytes / std::max(files, 1));
    // The reads of the file that finding a date costs, the way the engine reads.
    long reads = 0;
    for (int i = 0; i < files; ++i) {
        wchar_t name[32];
        wsprintfW(name, L"IMG%05d.jpg", i);
        HANDLE file = CreateFileW(Join(folder, name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        FileByteReader reader(file);
        DateTaken taken;
        ReadDateTaken(reader, &taken);
        reads += reader.FileReads();
        CloseHandle(file);
    }
    std::printf("  reads of the file to find its date: %.2f per photo\n", double(reads) / files);
    Job set{folder, L"*.jpg"}, taken{folder, L"*.jpg", RuleDateTaken};
    Compare("date taken, modified time", files, set, taken);
    set.accessed = taken.accessed = true;
    Compare("date taken, modified and access time", files, set, taken);
    RemoveTree(folder);
}

void ExportBench(const std::wstring &temp, int files) {
    const std::wstring folder = MakeFolder(temp, L"vandrel-bench-export");
    const Bytes undated = Jpeg({JpegSegment(0xE0, Bytes(14, 0x4A))});
    for (int i = 0; i < files / 2; ++i) {
        wchar_t name[48];
        wsprintfW(name, L"PXL_%05d_screenshot.png", i);
        Write(Join(folder, name), undated);
        char json[256];
        std::snprintf(json, sizeof json,
                      "{\"title\": \"PXL_%05d_screenshot.png\", \"creationTime\": {\"timestamp\": "
                      "\"1700000000\"}, \"photoTakenTime\": {\"timestamp\": \"%d\"}}",
                      i, 1478174685 + i);
        Write(Join(folder, std::wstring(name) + L".supplemental-metadata.json"), std::string(json));
    }
    std::printf("%d export items: %d media without a date, each with its JSON\n", files, files / 2);
    Compare("date taken from the export's JSON", files, Job{folder, L"*"},
            Job{folder, L"*", RuleDateTaken});
    RemoveTree(folder);
}

// A tree of 100 files to a folder, three levels deep.
std::wstring MakeTree(const std::wstring &temp, int files, int *folders) {
    const std::wstring root = MakeFolder(temp, L"vandrel-bench-tree");
    *folders = 0;
    for (int i = 0; i < files; ++i) {
        wchar_t path[64];
        wsprintfW(path, L"\\%03d", i / 1000);
        const std::wstring first = root + path;
        wsprintfW(path, L"\\%03d", i / 100 % 10);
        const std::wstring second = first + path;
        if (i % 1000 == 0)
            CreateDirectoryW(first.c_str(), nullptr), ++*folders;
        if (i % 100 == 0)
            CreateDirectoryW(second.c_str(), nullptr), ++*folders;
        wchar_t name[32];
        wsprintfW(name, L"file%05d.txt", i);
        Write(Join(second, name), std::string("x"));
    }
    return root;
}

void TreeBench(const std::wstring &temp, int files) {
    int folders = 0;
    const std::wstring root = MakeTree(temp, files, &folders);
    std::printf("%d files in %d folders\n", files, folders);
    Job set{root, L"*", RuleSetDates, true, true};
    Job newest = set;
    newest.rule = RuleNewestInside;
    Compare("newest item inside (folders only)", files + folders, set, newest);

    // The list of every item's times, saved by a preview and loaded as the dialog loads it.
    Pass(set, PreviewMode);
    ListTexts texts;
    texts.header = PreviewColumns();
    const std::wstring list = std::wstring(L"\\\\?\\") + temp + L"vandrel-bench-list.csv";
    WriteFileReplacing(list.c_str(), PreviewCsv(previewList, texts));
    const double start = Seconds();
    DWORD code = 0;
    ListProblem problem;
    savedTimes.Load(list.c_str(), KnownListColumns(), &code, &problem);
    const double load = Seconds() - start;
    std::printf("  the saved list of %zu items read in %.0f ms, %.0f bytes an item kept\n",
                savedTimes.Size(), load * 1000,
                double(savedTimes.BytesReserved()) / std::max<size_t>(savedTimes.Size(), 1));
    Job fromList = set;
    fromList.rule = RuleSavedList;
    Compare("times from the saved list", files + folders, set, fromList);
    savedTimes.Clear();
    previewList.Clear();
    DeleteFileW(list.c_str());
    RemoveTree(root);
}

} // namespace

int main(int argc, char **argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 2000;
    appInstance = GetModuleHandleW(nullptr); // the list's column titles come from the resources
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    PhotosBench(temp, files);
    ExportBench(temp, files);
    TreeBench(temp, files);
    std::printf("peak working set: %zu KiB\n", PeakMemoryKiB());
    return 0;
}
