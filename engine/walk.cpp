#include "engine/walk.h"

#include <shlwapi.h>

#include "app/handles.h"
#include "app/text.h"
#include "engine/prompt.h"
#include "engine/stamp.h"

std::atomic<uint32_t> latestJob{0};
std::atomic<uint32_t> stoppedJob{0};
std::atomic<uint32_t> walkJob{0};
std::atomic<DWORD> walkThreadId{0};
std::atomic<void (*)(const wchar_t *name)> beforeWalkItem{nullptr};

bool WalkCancelled() {
    if (jobPhase == PhaseStopped)
        return true;
    const uint32_t job = walkJob;
    return job != 0 && (latestJob != job || stoppedJob == job);
}

bool EntersFolder(bool includeSubfolders, DWORD attributes, size_t pathLength) {
    return includeSubfolders && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           pathLength + 2 <= MaxPathLength;
}

namespace {

// What one pass does, read once when the walk starts.
struct WalkPass {
    JobContext *context;
    bool apply;
    bool deep;
    bool stampFolders;
    ItemCounts *counts;
};

// ".", ".." and anything with a path separator would leave the folder: such a pattern walks
// nothing.
bool PatternWalksNothing(const wchar_t *pattern) {
    return StrCmpW(pattern, L".") == 0 || StrCmpW(pattern, L"..") == 0 ||
           StrChrW(pattern, L'\\') != nullptr || StrChrW(pattern, L'/') != nullptr;
}

// Length of path (length characters) with name appended behind one backslash.
size_t JoinedLength(const wchar_t *path, size_t length, const wchar_t *name) {
    const bool slash = length > 0 && path[length - 1] == L'\\';
    return length + (slash ? 0 : 1) + lstrlenW(name);
}

// Appends name behind one backslash; false (path unchanged) when the result would not fit.
bool AppendElement(wchar_t *path, size_t length, const wchar_t *name) {
    if (JoinedLength(path, length, name) > MaxPathLength)
        return false;
    if (length == 0 || path[length - 1] != L'\\')
        path[length++] = L'\\';
    lstrcpyW(path + length, name);
    return true;
}

// Moves the taskbar progress one item on, when there is a taskbar button.
void AdvanceProgress(const WalkPass &pass) {
    ITaskbarList3 *taskbar = taskbarList;
    if (!taskbar)
        return;
    const uint32_t done = ++progressCount;
    const uint32_t total = pass.deep ? pass.context->deepTotal : pass.context->flatTotal;
    taskbar->SetProgressValue(pass.context->dialog, done, total);
}

// A sub-folder whose contents cannot be reached because their paths would not fit.
bool ReportUnreachableFolder(const WalkPass &pass, const wchar_t *name) {
    wchar_t path[2 * PathCapacity];
    JoinItemPath(path, 2 * PathCapacity, pass.context->pickedPath, name);
    if (FileErrorPrompt(PromptStopJob, path, pass.context, ERROR_FILENAME_EXCED_RANGE) != IDCANCEL)
        return true;
    jobPhase = PhaseStopped;
    return false;
}

bool StampFolder(const WalkPass &pass, const wchar_t *name) {
    if (!StampItem(name, pass.context))
        return false;
    ++processedFolders;
    AdvanceProgress(pass);
    return true;
}

// Enumerates the folder in pickedPath (length characters) with element as the last path
// element; pickedPath is the folder again when this returns. Invalid when nothing can be listed.
UniqueFind StartEnumeration(const WalkPass &pass, size_t length, const wchar_t *element,
                            WIN32_FIND_DATAW *entry) {
    wchar_t *path = pass.context->pickedPath;
    if (!AppendElement(path, length, element))
        return UniqueFind();
    UniqueFind find(FindFirstFileW(path, entry));
    path[length] = L'\0';
    return find;
}

bool WalkLevel(const WalkPass &pass, size_t length);

// The matching files of the folder in pickedPath. False when the walk is to end.
bool WalkFiles(const WalkPass &pass, size_t length) {
    WIN32_FIND_DATAW entry;
    // Nothing to do when no name could be used in this folder or nothing matches.
    UniqueFind find = StartEnumeration(pass, length, pass.context->pattern, &entry);
    if (!find)
        return true;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        if (WalkCancelled())
            return false;
        if (const auto hook = beforeWalkItem.load())
            hook(entry.cFileName);
        if (!pass.apply) {
            ++pass.counts->files;
            continue;
        }
        if (!StampItem(entry.cFileName, pass.context))
            return false;
        ++processedFiles;
        AdvanceProgress(pass);
    } while (FindNextFileW(find.Get(), &entry));
    return true;
}

// One sub-folder: counted, walked when sub-folders are included, and stamped after its
// contents, so that reading the folder does not change the last-access time just written.
bool VisitFolder(const WalkPass &pass, size_t length, const WIN32_FIND_DATAW &entry) {
    wchar_t *path = pass.context->pickedPath;
    const wchar_t *name = entry.cFileName;
    const bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const size_t childLength = JoinedLength(path, length, name);
    if (!pass.apply)
        ++pass.counts->folders;
    if (EntersFolder(pass.deep, entry.dwFileAttributes, childLength)) {
        AppendElement(path, length, name);
        const bool goOn = WalkLevel(pass, childLength);
        path[length] = L'\0';
        if (!goOn)
            return false;
    } else if (pass.deep && !link && pass.apply &&
               !(pass.stampFolders && childLength > MaxPathLength)) {
        // Its contents cannot be reached; unless stamping reports the folder anyway, say so.
        if (!ReportUnreachableFolder(pass, name))
            return false;
    }
    if (pass.apply && pass.stampFolders) {
        if (WalkCancelled())
            return false;
        return StampFolder(pass, name);
    }
    return true;
}

// The sub-folders of the folder in pickedPath, each taken in full before the next.
bool WalkFolders(const WalkPass &pass, size_t length) {
    WIN32_FIND_DATAW entry;
    UniqueFind find = StartEnumeration(pass, length, L"*", &entry);
    if (!find)
        return true;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || entry.cFileName[0] == L'.')
            continue;
        if (WalkCancelled())
            return false;
        if (!VisitFolder(pass, length, entry))
            return false;
    } while (FindNextFileW(find.Get(), &entry));
    return true;
}

bool WalkLevel(const WalkPass &pass, size_t length) {
    if (WalkCancelled())
        return false;
    return WalkFiles(pass, length) && WalkFolders(pass, length);
}

} // namespace

void WalkFolder(JobContext *context) {
    if (PatternWalksNothing(context->pattern))
        return;
    WalkPass pass;
    pass.context = context;
    pass.apply = context->applyMode == 1;
    pass.deep = context->includeSubfolders != 0;
    pass.stampFolders = context->applyToFolders != 0;
    pass.counts = pass.deep ? &context->deepCounts : &context->flatCounts;
    WalkLevel(pass, lstrlenW(context->pickedPath));
}

DWORD WINAPI WalkThread(void *context) {
    walkThreadId = GetCurrentThreadId();
    WalkFolder(static_cast<JobContext *>(context));
    walkThreadId = 0;
    return 0;
}
