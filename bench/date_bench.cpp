// The time it takes to read the date taken from a photo: ReadItemDateTaken over a folder of small
// JPEGs with an EXIF DateTimeOriginal, against opening and closing the same files alone.
// Usage: vandrel_date_bench [files]   (default: 2000)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/job_context.h"
#include "app/text.h"
#include "bench/bench_support.h"
#include "engine/item_date.h"
#include "engine/job.h"
#include "engine/time_rule.h"
#include "engine/undo.h"
#include "native/file_builders.h"

namespace {

std::wstring FileName(const std::wstring &folder, int index) {
    wchar_t name[32];
    wsprintfW(name, L"\\IMG%05d.jpg", index);
    return folder + name;
}

// A camera's layout in small: the EXIF block with a few fields and a thumbnail's worth of
// bytes after them, then the image data.
Bytes Photo(int index) {
    char taken[32];
    std::snprintf(taken, sizeof taken, "2023:%02d:%02d %02d:%02d:%02d", index % 12 + 1,
                  index % 28 + 1, index % 24, index % 60, (index * 7) % 60);
    Bytes tiff =
        Tiff(true, {{OriginalTag, taken}, {OriginalSubSecTag, "42"}}, {{DateTimeTag, taken}});
    tiff.resize(tiff.size() + 6000, 0x5A);
    Bytes jpeg = Jpeg({ExifSegment(tiff)});
    jpeg.insert(jpeg.end() - 2, 20000, 0x33);
    return jpeg;
}

void Write(const std::wstring &path, const Bytes &bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// The same open and close as ReadItemDateTaken, with nothing read.
double OpenCloseOnly(const std::wstring &folder, int files) {
    const double start = Seconds();
    for (int i = 0; i < files; ++i) {
        HANDLE file = CreateFileW(FileName(folder, i).c_str(),
                                  GENERIC_READ | FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        CloseHandle(file);
    }
    return Seconds() - start;
}

double ReadAll(const std::wstring &folder, int files, int *found) {
    *found = 0;
    const double start = Seconds();
    for (int i = 0; i < files; ++i) {
        FoundTime taken;
        const FILETIME accessed = {};
        if (ReadItemDateTaken(FileName(folder, i).c_str(), FILE_ATTRIBUTE_NORMAL, accessed,
                              &taken) == ERROR_SUCCESS &&
            taken.found)
            ++*found;
    }
    return Seconds() - start;
}

} // namespace

// One apply pass of the real engine over the folder with the rule, headless, waited for.
double EngineApply(const std::wstring &folder, int32_t rule) {
    jobContext.Reset();
    CopyText(jobContext.folder, PathCapacity, folder.c_str() + 4); // without the prefix
    CopyText(jobContext.pickedPath, PathCapacity, jobContext.folder);
    CopyText(jobContext.pattern, PatternCapacity, L"*.jpg");
    const SYSTEMTIME local = {2010, 10, 0, 10, 10, 10, 10, 0};
    jobContext.useModified = 1;
    jobContext.timeModified.Store(local);
    jobContext.timeRule = rule;
    jobContext.flatCounts.files = 1; // counted already: the apply runs alone
    jobContext.applyMode = 1;
    const double start = Seconds();
    StartJobThread();
    WaitUntilNoController();
    undoHistory.Clear();
    return Seconds() - start;
}

int main(int argc, char **argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 2000;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(L"\\\\?\\") + temp + L"vandrel-date-bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    size_t bytes = 0;
    for (int i = 0; i < files; ++i) {
        const Bytes photo = Photo(i);
        bytes += photo.size();
        Write(FileName(folder, i), photo);
    }
    std::printf("%d JPEGs of %zu bytes on average\n", files, bytes / std::max(files, 1));
    std::printf("  peak working set before: %zu KiB\n", PeakMemoryKiB());

    // Alternating, best of four rounds: the file cache is warm for both.
    double bare = 1e9, parsed = 1e9;
    int found = 0;
    for (int round = 0; round < 4; ++round) {
        bare = std::min(bare, OpenCloseOnly(folder, files));
        parsed = std::min(parsed, ReadAll(folder, files, &found));
    }
    std::printf("  date taken read:      %8.1f us per file (%d of %d found)\n",
                parsed * 1e6 / files, found, files);
    std::printf("  open and close alone: %8.1f us per file\n", bare * 1e6 / files);
    std::printf("  the reading itself:   %8.1f us per file\n", (parsed - bare) * 1e6 / files);
    double set = 1e9, taken = 1e9;
    for (int round = 0; round < 4; ++round) {
        set = std::min(set, EngineApply(folder, RuleSetDates));
        taken = std::min(taken, EngineApply(folder, RuleDateTaken));
    }
    std::printf("  apply with the date taken / with a fixed date: %.3f (%.0f / %.0f files/s)\n",
                taken / set, files / taken, files / set);
    std::printf("  peak working set after: %zu KiB\n", PeakMemoryKiB());

    for (int i = 0; i < files; ++i)
        DeleteFileW(FileName(folder, i).c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
