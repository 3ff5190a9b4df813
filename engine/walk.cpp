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
#include "engine/saved_times.h"
#include "engine/stamp.h"
#include "engine/time_rule.h"
#include "engine/undo.h"
#include "readers/export_names.h"

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
    RuleChoice rule; // the stamps' rules and shifts; the stamps in use come from times
    bool newest;     // a stamp takes the newest write time of the files in a folder
    bool stampFiles; // false when every stamp takes that: files are only looked at
    SavedTimes *list;
};

// The newest write time of the files below a folder, as they are after this pass.
struct Newest {
    bool found = false;
    FILETIME time = {};
    void Take(const FILETIME &candidate) {
        if (!found || CompareFileTime(&candidate, &time) > 0)
            time = candidate;
        found = true;
    }
    void Take(const Newest &other) {
        if (other.found)
            Take(other.time);
    }
};

// The names of one folder, listed once when a file in it needs its sidecars.
class FolderNames {
  public:
    // folder: the folder's path (extended-length form).
    const FolderIndex &Of(const std::wstring &folder);

  private:
    bool listed_ = false;
    FolderIndex names_;
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

// The item in the working path below the target (empty for the target itself).
const wchar_t *Relative(const WalkPass &pass) {
    const wchar_t *relative = pass.path + pass.rootLength;
    while (*relative == L'\\')
        ++relative;
    return relative;
}

// What an item is to be looked at for: its stamps' rules, and its folder's newest file.
struct ItemLook {
    const WIN32_FIND_DATAW &entry;
    FolderNames *names;   // the names of its folder, for sidecars
    const Newest *newest; // a folder: the newest file below it
    HANDLE content;       // the item open for reading its content, or null
};

// What the stamps' rules find for the item in the working path (length characters of it are its
// folder); the code of a failed read of the item.
DWORD FindTimes(WalkPass &pass, size_t length, const ItemLook &look, ItemFound *found) {
    const DWORD attributes = look.entry.dwFileAttributes;
    if (pass.rule.Uses(RuleNameDate))
        NameDateOf(look.entry.cFileName, &found->name);
    if (look.newest && look.newest->found)
        found->newest = FoundTime{true, look.newest->time, TimeSource::NewestInside};
    if (pass.list)
        pass.list->Find(Relative(pass), lstrlenW(Relative(pass)), found);
    if (!pass.rule.Uses(RuleDateTaken) || !HoldsContentDate(attributes) ||
        IsSidecarName(look.entry.cFileName))
        return ERROR_SUCCESS;
    if (look.content) {
        ReadDateTakenFrom(look.content, pass.rule.use[StampIndexAccessed], &found->taken);
    } else {
        const DWORD code =
            ReadItemDateTaken(pass.path, attributes, look.entry.ftLastAccessTime, &found->taken);
        if (code != ERROR_SUCCESS)
            return code;
    }
    if (!found->taken.found && look.names) {
        const wchar_t kept = pass.path[length];
        pass.path[length] = L'\0';
        const std::wstring folder = pass.path;
        pass.path[length] = kept;
        SidecarDate(folder, look.names->Of(folder), look.entry.cFileName, &found->taken);
    }
    return ERROR_SUCCESS;
}

// The item's stamps as its folder listed them, and what the pass's rules give it with what was
// found for it.
RulePlan PlanWith(WalkPass &pass, const FILETIME (&now)[StampKinds], const ItemFound &found) {
    pass.times.Refresh(pass.context);
    pass.times.Fill(&pass.rule);
    return PlanItem(pass.rule, now, &found);
}

// Stamps what the plan says through the item's handle (nothing at all when the plan writes
// nothing: no date, or a stamp copied onto itself) and counts what it did. A plan with a time
// that cannot be written refuses the item.
DWORD StampWithPlan(const RulePlan &plan, HANDLE item, const wchar_t *path, DWORD attributes,
                    const ItemStamps *before) {
    if (plan.outOfRange)
        return ErrorShiftOutOfRange;
    if (plan.noDate)
        ++undatedItems;
    StampArguments arguments = PlanArguments(plan);
    if (before && !plan.write[StampIndexAccessed]) {
        // Its content was read: the access time that may have moved goes back with the stamp.
        arguments.accessed = &before->accessed;
        arguments.accessPutBack = true;
    }
    const DWORD code = plan.Writes() && item
                           ? StampOpenItem(item, path, attributes, arguments, before)
                           : ERROR_SUCCESS;
    if (code == ERROR_SUCCESS && plan.Changes())
        ++changedItems;
    return code;
}

// Stamps the item in the working path with what its plan says. A photo is read and stamped
// through one open, which costs as much as the rest together; any other item whose plan writes
// nothing is not opened at all. written is the item's write time once stamped.
DWORD StampPlanned(WalkPass &pass, size_t length, const ItemLook &look,
                   const FILETIME (&now)[StampKinds], FILETIME *written) {
    const DWORD attributes = look.entry.dwFileAttributes;
    const DWORD flags =
        StampOpenFlags(pass.stampFolders || (attributes & FILE_ATTRIBUTE_DIRECTORY), attributes);
    ItemFound found;
    *written = now[StampIndexWritten];
    if (pass.rule.Uses(RuleDateTaken) && HoldsContentDate(attributes) &&
        !IsSidecarName(look.entry.cFileName)) {
        TimesHandle item(pass.path, attributes, flags, true);
        if (!item.Valid())
            return item.Error();
        ItemLook withContent = look;
        withContent.content = item.Get();
        FindTimes(pass, length, withContent, &found);
        const RulePlan plan = PlanWith(pass, now, found);
        // What the item had before its content was read, which may have moved its access time.
        const ItemStamps before = {now[StampIndexCreated], now[StampIndexAccessed],
                                   now[StampIndexWritten]};
        const DWORD code = StampWithPlan(plan, item.Get(), pass.path, attributes, &before);
        // What is not stamped gets back the access time the read may have moved.
        if (!plan.Writes() || plan.outOfRange || code != ERROR_SUCCESS)
            PutBackAccessTime(item.Get(), before.accessed);
        if (code == ERROR_SUCCESS && plan.write[StampIndexWritten])
            *written = plan.value[StampIndexWritten];
        return code;
    }
    const DWORD code = FindTimes(pass, length, look, &found);
    if (code != ERROR_SUCCESS)
        return code;
    const RulePlan plan = PlanWith(pass, now, found);
    if (plan.outOfRange || !plan.Writes())
        return StampWithPlan(plan, nullptr, pass.path, attributes, nullptr);
    TimesHandle item(pass.path, attributes, flags);
    if (!item.Valid())
        return item.Error();
    const DWORD stamped = StampWithPlan(plan, item.Get(), pass.path, attributes, nullptr);
    if (stamped == ERROR_SUCCESS && plan.write[StampIndexWritten])
        *written = plan.value[StampIndexWritten];
    return stamped;
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

// Stamps the item named look.entry in the folder in the working path (length characters). An
// item that is not there because its folder has gone is reported once, for the folder, and the
// rest of that folder is passed over.
Step StampEntry(WalkPass &pass, size_t length, const ItemLook &look, FILETIME *written) {
    const WIN32_FIND_DATAW &entry = look.entry;
    *written = entry.ftLastWriteTime;
    if (!AppendElement(pass.path, length, entry.cFileName))
        return ReportTooLong(pass, entry.cFileName) ? Step::GoOn : Step::Stop;
    FILETIME now[StampKinds];
    ListedStamps(entry, now);
    const DWORD code = StampPlanned(pass, length, look, now, written);
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

// Lists what an apply would do to the item in the working path, whose stamps are now.
Step PreviewItem(WalkPass &pass, size_t length, const ItemLook &look,
                 const FILETIME (&now)[StampKinds]) {
    ItemFound found;
    const DWORD code = FindTimes(pass, length, look, &found);
    if (code != ERROR_SUCCESS)
        return ReportStampFailure(pass.path, pass.context, code) ? Step::GoOn : Step::Stop;
    const RulePlan plan = PlanWith(pass, now, found);
    const wchar_t *relative = Relative(pass);
    previewList.Add(relative, lstrlenW(relative), now, plan,
                    (look.entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    return Step::GoOn;
}

// Lists what an apply would do to the entry of the folder in the working path.
Step PreviewEntry(WalkPass &pass, size_t length, const ItemLook &look) {
    if (!AppendElement(pass.path, length, look.entry.cFileName))
        return Step::GoOn; // an apply reports it; a preview, like a count, passes over it
    FILETIME now[StampKinds];
    ListedStamps(look.entry, now);
    const Step step = PreviewItem(pass, length, look, now);
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

const FolderIndex &FolderNames::Of(const std::wstring &folder) {
    if (listed_)
        return names_;
    listed_ = true;
    WIN32_FIND_DATAW entry;
    UniqueFind find(FindFirstFileW(JoinPath(folder.c_str(), L"*").c_str(), &entry));
    if (find) {
        do
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names_.Add(entry.cFileName);
        while (FindNextFileW(find.Get(), &entry));
    }
    return names_;
}

Step WalkLevel(WalkPass &pass, size_t length, Newest *newest);

// The matching files of the folder in the working path; newest takes their write times.
Step WalkFiles(WalkPass &pass, size_t length, Newest *newest) {
    WIN32_FIND_DATAW entry;
    UniqueFind find = StartEnumeration(pass, length, pass.context->pattern, &entry);
    if (!find)
        return Step::GoOn;
    FolderNames names;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        if (WalkCancelled())
            return Step::Stop;
        if (const auto hook = beforeWalkItem.load())
            hook(entry.cFileName);
        const ItemLook look = {entry, &names, nullptr, nullptr};
        if (!pass.apply) {
            ++pass.counts->files;
            newest->Take(entry.ftLastWriteTime);
            if (pass.preview && pass.stampFiles) {
                if (PreviewEntry(pass, length, look) == Step::Stop)
                    return Step::Stop;
                ++processedFiles;
            }
            continue;
        }
        if (!pass.stampFiles) {
            newest->Take(entry.ftLastWriteTime);
            continue;
        }
        FILETIME written;
        const Step step = StampEntry(pass, length, look, &written);
        newest->Take(written);
        if (step != Step::GoOn)
            return step;
        ++processedFiles;
        AdvanceProgress(pass);
    } while (FindNextFileW(find.Get(), &entry));
    return Step::GoOn;
}

// One sub-folder: counted, walked when sub-folders are included (or its newest file is wanted),
// and stamped after its contents, so that reading the folder does not change the last-access
// time just written.
Step VisitFolder(WalkPass &pass, size_t length, const WIN32_FIND_DATAW &entry, Newest *newest) {
    const wchar_t *name = entry.cFileName;
    const bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const size_t childLength = JoinedLength(pass.path, length, name);
    const bool walked = pass.deep || pass.newest;
    if (!pass.apply)
        ++pass.counts->folders;
    Newest inside;
    if (EntersFolder(walked, entry.dwFileAttributes, childLength)) {
        AppendElement(pass.path, length, name);
        const Step step = WalkLevel(pass, childLength, &inside);
        pass.path[length] = L'\0';
        // A sub-folder found gone has been reported: it is not stamped either.
        if (step != Step::GoOn)
            return step == Step::Stop ? Step::Stop : Step::GoOn;
        newest->Take(inside);
    } else if (walked && !link && pass.apply &&
               !(pass.stampFolders && childLength > MaxPathLength)) {
        // Its contents cannot be reached; unless stamping reports the folder anyway, say so.
        if (!ReportTooLong(pass, name))
            return Step::Stop;
    }
    const ItemLook look = {entry, nullptr, &inside, nullptr};
    if (pass.preview && pass.stampFolders) {
        if (WalkCancelled() || PreviewEntry(pass, length, look) == Step::Stop)
            return Step::Stop;
        ++processedFolders;
    }
    if (pass.apply && pass.stampFolders) {
        if (WalkCancelled())
            return Step::Stop;
        FILETIME written;
        const Step step = StampEntry(pass, length, look, &written);
        if (step != Step::GoOn)
            return step;
        ++processedFolders;
        AdvanceProgress(pass);
    }
    return Step::GoOn;
}

// The sub-folders of the folder in the working path, each taken in full before the next.
Step WalkFolders(WalkPass &pass, size_t length, Newest *newest) {
    WIN32_FIND_DATAW entry;
    UniqueFind find = StartEnumeration(pass, length, L"*", &entry);
    if (!find)
        return Step::GoOn;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || entry.cFileName[0] == L'.')
            continue;
        if (WalkCancelled())
            return Step::Stop;
        const Step step = VisitFolder(pass, length, entry, newest);
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
        : folder_(stampCalls.createFile(folder, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr)) {
        known_ = folder_ && stampCalls.getFileTime(folder_.Get(), nullptr, &accessed_, nullptr);
    }
    ~KeptAccessTime() {
        FILETIME now;
        if (known_ && stampCalls.getFileTime(folder_.Get(), nullptr, &now, nullptr) &&
            CompareFileTime(&now, &accessed_) != 0)
            stampCalls.setFileTime(folder_.Get(), nullptr, &accessed_, nullptr);
    }
    KeptAccessTime(const KeptAccessTime &) = delete;
    KeptAccessTime &operator=(const KeptAccessTime &) = delete;

  private:
    UniqueHandle folder_;
    FILETIME accessed_ = {};
    bool known_ = false;
};

Step WalkLevel(WalkPass &pass, size_t length, Newest *newest) {
    if (WalkCancelled())
        return Step::Stop;
    const KeptAccessTime kept(pass.path);
    const Step step = WalkFiles(pass, length, newest);
    return step == Step::GoOn ? WalkFolders(pass, length, newest) : step;
}

// The target folder itself, once its contents are done: dated by the newest file in it.
void TakeTargetFolder(WalkPass &pass, size_t length, const Newest &newest) {
    const DWORD attributes = GetFileAttributesW(pass.path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    WIN32_FIND_DATAW entry = {};
    entry.dwFileAttributes = attributes;
    {
        TimesHandle folder(pass.path, attributes, StampOpenFlags(true, attributes));
        if (!folder.Valid() || !GetFileTime(folder.Get(), &entry.ftCreationTime,
                                            &entry.ftLastAccessTime, &entry.ftLastWriteTime)) {
            ReportStampFailure(pass.path, pass.context,
                               folder.Valid() ? GetLastError() : folder.Error());
            return;
        }
    }
    const ItemLook look = {entry, nullptr, &newest, nullptr};
    FILETIME now[StampKinds];
    ListedStamps(entry, now);
    if (pass.preview) {
        if (PreviewItem(pass, length, look, now) == Step::GoOn)
            ++processedFolders;
        return;
    }
    FILETIME written;
    const DWORD code = StampPlanned(pass, length, look, now, &written);
    if (code == ERROR_SUCCESS || ReportStampFailure(pass.path, pass.context, code)) {
        ++processedFolders;
        AdvanceProgress(pass);
    }
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
    pass.rule.SetRule(static_cast<TimeRule>(context->timeRule.load()));
    for (int stamp = 0; stamp < StampKinds; ++stamp)
        pass.rule.shift[stamp] = context->shift[stamp].Load();
    pass.times.Refresh(context);
    pass.times.Fill(&pass.rule);
    pass.newest = pass.rule.Uses(RuleNewestInside);
    pass.stampFiles = !pass.rule.OnlyUses(RuleNewestInside);
    pass.list = pass.rule.Uses(RuleSavedList) && savedTimes.Loaded() ? &savedTimes : nullptr;
    pass.deep = context->includeSubfolders != 0;
    pass.stampFolders = context->applyToFolders != 0;
    // Windows 6.1 and later list a folder faster without short names and with larger fetches.
    pass.basicFind = IsWindowsAtLeast(6, 1);
    pass.counts = pass.deep ? &context->deepCounts : &context->flatCounts;
    pass.path = path.get();
    pass.rootLength = root.size();
    if (pass.list)
        pass.list->BeginPass();
    Newest newest;
    const Step step = WalkLevel(pass, root.size(), &newest);
    if (step == Step::GoOn && pass.newest && (pass.apply || pass.preview) && !WalkCancelled())
        TakeTargetFolder(pass, root.size(), newest);
    if (pass.list && pass.preview)
        previewList.SetListLinesGone(pass.list->Unmatched());
}

DWORD WINAPI WalkThread(void *context) {
    walkThreadId = GetCurrentThreadId();
    WalkFolder(static_cast<JobContext *>(context));
    walkThreadId = 0;
    return 0;
}
