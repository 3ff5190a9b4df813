#include "engine/walk.h"

#include <shlwapi.h>

#include <memory>
#include <string>

#include "app/handles.h"
#include "app/text.h"
#include "engine/item_date.h"
#include "engine/paths.h"
#include "engine/preview.h"
#include "engine/prompt.h"
#include "engine/stamp.h"
#include "engine/time_rule.h"

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

// What one pass does, read once when the walk starts, and the walk's own working path: the
// extended-length form of the folder it is in, allocated once for the whole walk.
struct WalkPass {
    JobContext *context;
    bool apply;
    bool preview; // lists what an apply would do, changing nothing
    bool deep;
    bool stampFolders;
    bool basicFind;
    ItemCounts *counts;
    wchar_t *path;
    size_t rootLength;
    StampTimes times;
    RuleChoice rule; // the rule and its shifts; the stamps in use come from times
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

// An item whose full path would be longer than the system takes.
bool ReportTooLong(const WalkPass &pass, const wchar_t *name) {
    return ReportStampFailure(JoinPath(pass.path, name).c_str(), pass.context,
                              ERROR_FILENAME_EXCED_RANGE);
}

// What the walk does after an item.
enum class Step { GoOn, Stop, FolderGone };

// The item's stamps as its folder listed them, before anything of this pass changed them.
void ListedStamps(const WIN32_FIND_DATAW &entry, FILETIME (&now)[StampKinds]) {
    now[StampIndexCreated] = entry.ftCreationTime;
    now[StampIndexAccessed] = entry.ftLastAccessTime;
    now[StampIndexWritten] = entry.ftLastWriteTime;
}

// The date the rule takes from the item in the working path; found tells whether it has one.
DWORD FindItemDate(const WalkPass &pass, const WIN32_FIND_DATAW &entry, FILETIME *date,
                   bool *found) {
    *found = false;
    if (pass.rule.rule == RuleNameDate) {
        *found = NameDateOf(entry.cFileName, date);
        return ERROR_SUCCESS;
    }
    return ReadItemDateTaken(pass.path, entry.dwFileAttributes, date, found);
}

// What the pass's rule gives the item listed as entry, with the date found in it (null: none).
RulePlan PlanWith(WalkPass &pass, const WIN32_FIND_DATAW &entry, const FILETIME *date) {
    pass.times.Refresh(pass.context);
    RuleChoice choice = pass.rule;
    pass.times.Fill(&choice);
    FILETIME now[StampKinds];
    ListedStamps(entry, now);
    return PlanItem(choice, now, date);
}

// What the pass's rule gives the item in the working path; the code of a failed read of the item.
DWORD PlanEntry(WalkPass &pass, const WIN32_FIND_DATAW &entry, RulePlan *plan) {
    FILETIME date = {};
    bool found = false;
    if (RuleNeedsItemDate(pass.rule.rule)) {
        const DWORD code = FindItemDate(pass, entry, &date, &found);
        if (code != ERROR_SUCCESS)
            return code;
    }
    *plan = PlanWith(pass, entry, found ? &date : nullptr);
    return ERROR_SUCCESS;
}

// Stamps what the plan says through the item's handle (nothing at all when the plan writes
// nothing: no date, or a stamp copied onto itself) and counts what it did. A plan with a time
// that cannot be written refuses the item.
DWORD StampWithPlan(const RulePlan &plan, HANDLE item, const wchar_t *path, DWORD attributes) {
    if (plan.outOfRange)
        return ErrorShiftOutOfRange;
    if (plan.noDate)
        ++undatedItems;
    const DWORD code = plan.Writes() && item
                           ? StampOpenItem(item, path, attributes, PlanArguments(plan))
                           : ERROR_SUCCESS;
    if (code == ERROR_SUCCESS && plan.Changes())
        ++changedItems;
    return code;
}

// A photo is read and stamped through one open, which costs as much as the rest together.
DWORD StampPhotoOnce(WalkPass &pass, const WIN32_FIND_DATAW &entry) {
    const DWORD attributes = entry.dwFileAttributes;
    TimesHandle item(pass.path, attributes, StampOpenFlags(pass.stampFolders, attributes), true);
    if (!item.Valid())
        return item.Error();
    FILETIME date = {};
    const bool found = ReadDateTakenFrom(item.Get(), &date);
    const RulePlan plan = PlanWith(pass, entry, found ? &date : nullptr);
    return StampWithPlan(plan, item.Get(), pass.path, attributes);
}

// Stamps the item in the working path with what its plan says; an item whose plan writes nothing
// is not opened at all.
DWORD StampPlanned(WalkPass &pass, const WIN32_FIND_DATAW &entry) {
    const DWORD attributes = entry.dwFileAttributes;
    if (pass.rule.rule == RuleDateTaken && HoldsContentDate(attributes))
        return StampPhotoOnce(pass, entry);
    RulePlan plan;
    const DWORD code = PlanEntry(pass, entry, &plan);
    if (code != ERROR_SUCCESS)
        return code;
    if (plan.outOfRange || !plan.Writes())
        return StampWithPlan(plan, nullptr, pass.path, attributes);
    TimesHandle item(pass.path, attributes, StampOpenFlags(pass.stampFolders, attributes));
    if (!item.Valid())
        return item.Error();
    return StampWithPlan(plan, item.Get(), pass.path, attributes);
}

bool IsNotFound(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// Whether the folder in the working path (length characters) is no longer there.
bool FolderGone(const WalkPass &pass, size_t length) {
    const wchar_t kept = pass.path[length];
    pass.path[length] = L'\0';
    const DWORD attributes = GetFileAttributesW(pass.path);
    const bool gone = attributes == INVALID_FILE_ATTRIBUTES && IsNotFound(GetLastError());
    pass.path[length] = kept;
    return gone;
}

// Stamps the entry of the folder in the working path (length characters). An item that is not
// there because its folder has gone is reported once, for the folder, and the rest of that
// folder is passed over.
Step StampEntry(WalkPass &pass, size_t length, const WIN32_FIND_DATAW &entry) {
    if (!AppendElement(pass.path, length, entry.cFileName))
        return ReportTooLong(pass, entry.cFileName) ? Step::GoOn : Step::Stop;
    const DWORD code = StampPlanned(pass, entry);
    Step step = Step::GoOn;
    if (code != ERROR_SUCCESS && IsNotFound(code) && FolderGone(pass, length)) {
        pass.path[length] = L'\0';
        step = ReportStampFailure(pass.path, pass.context, ERROR_PATH_NOT_FOUND) ? Step::FolderGone
                                                                                 : Step::Stop;
    } else if (code != ERROR_SUCCESS) {
        step = ReportStampFailure(pass.path, pass.context, code) ? Step::GoOn : Step::Stop;
    }
    pass.path[length] = L'\0';
    return step;
}

// Lists what an apply would do to the entry of the folder in the working path.
Step PreviewEntry(WalkPass &pass, size_t length, const WIN32_FIND_DATAW &entry) {
    if (!AppendElement(pass.path, length, entry.cFileName))
        return Step::GoOn; // an apply reports it; a preview, like a count, passes over it
    RulePlan plan;
    const DWORD code = PlanEntry(pass, entry, &plan);
    Step step = Step::GoOn;
    if (code != ERROR_SUCCESS) {
        step = ReportStampFailure(pass.path, pass.context, code) ? Step::GoOn : Step::Stop;
    } else {
        const wchar_t *relative = pass.path + pass.rootLength;
        while (*relative == L'\\')
            ++relative;
        FILETIME now[StampKinds];
        ListedStamps(entry, now);
        previewList.Add(relative, lstrlenW(relative), now, plan,
                        (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    }
    pass.path[length] = L'\0';
    return step;
}

// Enumerates the folder in the working path (length characters) with element as the last path
// element; the path is the folder again when this returns. Invalid when nothing can be listed.
UniqueFind StartEnumeration(const WalkPass &pass, size_t length, const wchar_t *element,
                            WIN32_FIND_DATAW *entry) {
    if (!AppendElement(pass.path, length, element))
        return UniqueFind();
    UniqueFind find(pass.basicFind
                        ? FindFirstFileExW(pass.path, FindExInfoBasic, entry, FindExSearchNameMatch,
                                           nullptr, FIND_FIRST_EX_LARGE_FETCH)
                        : FindFirstFileW(pass.path, entry));
    pass.path[length] = L'\0';
    return find;
}

Step WalkLevel(WalkPass &pass, size_t length);

// The matching files of the folder in the working path.
Step WalkFiles(WalkPass &pass, size_t length) {
    WIN32_FIND_DATAW entry;
    UniqueFind find = StartEnumeration(pass, length, pass.context->pattern, &entry);
    if (!find)
        return Step::GoOn;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        if (WalkCancelled())
            return Step::Stop;
        if (const auto hook = beforeWalkItem.load())
            hook(entry.cFileName);
        if (!pass.apply) {
            ++pass.counts->files;
            if (pass.preview) {
                if (PreviewEntry(pass, length, entry) == Step::Stop)
                    return Step::Stop;
                ++processedFiles;
            }
            continue;
        }
        const Step step = StampEntry(pass, length, entry);
        if (step != Step::GoOn)
            return step;
        ++processedFiles;
        AdvanceProgress(pass);
    } while (FindNextFileW(find.Get(), &entry));
    return Step::GoOn;
}

// One sub-folder: counted, walked when sub-folders are included, and stamped after its
// contents, so that reading the folder does not change the last-access time just written.
Step VisitFolder(WalkPass &pass, size_t length, const WIN32_FIND_DATAW &entry) {
    const wchar_t *name = entry.cFileName;
    const bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const size_t childLength = JoinedLength(pass.path, length, name);
    if (!pass.apply)
        ++pass.counts->folders;
    if (EntersFolder(pass.deep, entry.dwFileAttributes, childLength)) {
        AppendElement(pass.path, length, name);
        const Step step = WalkLevel(pass, childLength);
        pass.path[length] = L'\0';
        // A sub-folder found gone has been reported: it is not stamped either.
        if (step != Step::GoOn)
            return step == Step::Stop ? Step::Stop : Step::GoOn;
    } else if (pass.deep && !link && pass.apply &&
               !(pass.stampFolders && childLength > MaxPathLength)) {
        // Its contents cannot be reached; unless stamping reports the folder anyway, say so.
        if (!ReportTooLong(pass, name))
            return Step::Stop;
    }
    if (pass.preview && pass.stampFolders) {
        if (WalkCancelled() || PreviewEntry(pass, length, entry) == Step::Stop)
            return Step::Stop;
        ++processedFolders;
    }
    if (pass.apply && pass.stampFolders) {
        if (WalkCancelled())
            return Step::Stop;
        const Step step = StampEntry(pass, length, entry);
        if (step != Step::GoOn)
            return step;
        ++processedFolders;
        AdvanceProgress(pass);
    }
    return Step::GoOn;
}

// The sub-folders of the folder in the working path, each taken in full before the next.
Step WalkFolders(WalkPass &pass, size_t length) {
    WIN32_FIND_DATAW entry;
    UniqueFind find = StartEnumeration(pass, length, L"*", &entry);
    if (!find)
        return Step::GoOn;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || entry.cFileName[0] == L'.')
            continue;
        if (WalkCancelled())
            return Step::Stop;
        const Step step = VisitFolder(pass, length, entry);
        if (step != Step::GoOn)
            return step;
    } while (FindNextFileW(find.Get(), &entry));
    return Step::GoOn;
}

// Listing a folder may move its last-access time, as the system decides whatever the program
// asks: a folder the walk lists gets back the time it had before.
class KeptAccessTime {
  public:
    explicit KeptAccessTime(const wchar_t *folder)
        : folder_(CreateFileW(folder, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {
        known_ = folder_ && GetFileTime(folder_.Get(), nullptr, &accessed_, nullptr);
    }
    ~KeptAccessTime() {
        FILETIME now;
        if (known_ && GetFileTime(folder_.Get(), nullptr, &now, nullptr) &&
            CompareFileTime(&now, &accessed_) != 0)
            SetFileTime(folder_.Get(), nullptr, &accessed_, nullptr);
    }
    KeptAccessTime(const KeptAccessTime &) = delete;
    KeptAccessTime &operator=(const KeptAccessTime &) = delete;

  private:
    UniqueHandle folder_;
    FILETIME accessed_ = {};
    bool known_ = false;
};

Step WalkLevel(WalkPass &pass, size_t length) {
    if (WalkCancelled())
        return Step::Stop;
    const KeptAccessTime kept(pass.path);
    const Step step = WalkFiles(pass, length);
    return step == Step::GoOn ? WalkFolders(pass, length) : step;
}

} // namespace

void WalkFolder(JobContext *context) {
    if (PatternWalksNothing(context->pattern))
        return;
    const std::wstring root = ExtendedPath(context->pickedPath);
    if (root.size() > MaxPathLength)
        return;
    std::unique_ptr<wchar_t[]> path(new wchar_t[MaxPathLength + 1]);
    CopyText(path.get(), MaxPathLength + 1, root.c_str());
    WalkPass pass;
    pass.context = context;
    pass.apply = context->applyMode == 1;
    pass.preview = context->applyMode == PreviewMode;
    pass.rule.rule = static_cast<TimeRule>(context->timeRule.load());
    for (int stamp = 0; stamp < StampKinds; ++stamp)
        pass.rule.shift[stamp] = context->shift[stamp].Load();
    pass.deep = context->includeSubfolders != 0;
    pass.stampFolders = context->applyToFolders != 0;
    // Windows 6.1 and later list a folder faster without short names and with larger fetches.
    pass.basicFind = IsWindowsAtLeast(6, 1);
    pass.counts = pass.deep ? &context->deepCounts : &context->flatCounts;
    pass.path = path.get();
    pass.rootLength = root.size();
    WalkLevel(pass, root.size());
}

DWORD WINAPI WalkThread(void *context) {
    walkThreadId = GetCurrentThreadId();
    WalkFolder(static_cast<JobContext *>(context));
    walkThreadId = 0;
    return 0;
}
