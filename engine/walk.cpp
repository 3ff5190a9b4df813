#include "engine/walk.h"

#include <shlwapi.h>

#include <memory>
#include <string>

#include "app/handles.h"
#include "app/text.h"
#include "engine/item_date.h"
#include "engine/paths.h"
#include "engine/preview.h"
#include "engine/saved_times.h"
#include "engine/stamp.h"
#include "engine/time_rule.h"
#include "engine/undo.h"
#include "readers/export_names.h"

bool EntersFolder(bool includeSubfolders, DWORD attributes, size_t pathLength) {
    return includeSubfolders && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           pathLength + 2 <= MaxPathLength;
}

namespace {

// What one pass does, read once when the walk starts, and the walk's own working path: the
// extended-length form of the folder it is in, allocated once for the whole walk.
struct WalkPass {
    const JobDescription *job;
    JobEvents *events;
    uint32_t total; // what progress counts against
    uint32_t done;
    const wchar_t *pattern;
    bool apply;
    bool preview; // lists what an apply would do, changing nothing
    bool deep;
    bool stampFolders;
    bool basicFind;
    wchar_t *path;
    size_t rootLength;
    StampTimes times;
    RuleChoice rule; // the stamps' rules and shifts; the stamps in use come from times
    bool newest;     // a stamp takes the newest write time of the files in a folder
    bool stampFiles; // false when every stamp takes that: files are only looked at
    bool single;     // the target is one item: no sub-folder is looked at
    SavedTimes *list;

    bool Cancelled() const { return events->Cancelled(); }
    // An item that cannot be stamped, reported: false when the pass is to stop.
    bool Failed(const wchar_t *item, DWORD code) const {
        Add(job->counters.failed);
        return events->ItemFailed(item, code);
    }
    static void Add(SharedCount *counter) {
        if (counter)
            ++*counter;
    }
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

// One more item handled.
void AdvanceProgress(WalkPass &pass) {
    pass.events->Progress(++pass.done, pass.total);
}

// An item whose full path would be longer than the system takes.
bool ReportTooLong(const WalkPass &pass, const wchar_t *name) {
    return pass.Failed(JoinPath(pass.path, name).c_str(), ERROR_FILENAME_EXCED_RANGE);
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
    // A list names an item by its path below the target, or, a list of several targets, in full.
    if (pass.list && !pass.list->Find(Relative(pass), lstrlenW(Relative(pass)), found)) {
        const std::wstring shown = ShownPath(pass.path);
        pass.list->Find(shown.c_str(), shown.size(), found);
    }
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
    pass.times.Refresh(*pass.job);
    pass.times.Fill(&pass.rule);
    return PlanItem(pass.rule, now, &found);
}

// Stamps what the plan says through the item's handle (nothing at all when the plan writes
// nothing: no date, or a stamp copied onto itself) and counts what it did. A plan with a time
// that cannot be written refuses the item.
DWORD StampWithPlan(const WalkPass &pass, const RulePlan &plan, HANDLE item, DWORD attributes,
                    const ItemStamps *before) {
    if (plan.outOfRange)
        return ErrorShiftOutOfRange;
    if (plan.noDate)
        WalkPass::Add(pass.job->counters.undated);
    StampArguments arguments = PlanArguments(plan);
    if (before && !plan.write[StampIndexAccessed]) {
        // Its content was read: the access time that may have moved goes back with the stamp.
        arguments.accessed = &before->accessed;
        arguments.accessPutBack = true;
    }
    const DWORD code = plan.Writes() && item ? StampOpenItem(item, pass.path, attributes, arguments,
                                                             pass.job->history, before)
                                             : ERROR_SUCCESS;
    if (code == ERROR_SUCCESS && plan.Changes())
        WalkPass::Add(pass.job->counters.changed);
    return code;
}

// The same, and the item reported done.
DWORD StampWithPlan(const WalkPass &pass, const RulePlan &plan, HANDLE item, DWORD attributes,
                    const ItemStamps *before, const FILETIME (&now)[StampKinds]) {
    const DWORD code = StampWithPlan(pass, plan, item, attributes, before);
    pass.events->ItemDone(ItemReport{
        Relative(pass), pass.path, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, now, plan, code});
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
        const DWORD code = StampWithPlan(pass, plan, item.Get(), attributes, &before, now);
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
        return StampWithPlan(pass, plan, nullptr, attributes, nullptr, now);
    TimesHandle item(pass.path, attributes, flags);
    if (!item.Valid())
        return item.Error();
    const DWORD stamped = StampWithPlan(pass, plan, item.Get(), attributes, nullptr, now);
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
        step = pass.Failed(pass.path, ERROR_PATH_NOT_FOUND) ? Step::FolderGone : Step::Stop;
    } else if (code != ERROR_SUCCESS) {
        step = pass.Failed(pass.path, code) ? Step::GoOn : Step::Stop;
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
        return pass.Failed(pass.path, code) ? Step::GoOn : Step::Stop;
    const RulePlan plan = PlanWith(pass, now, found);
    const wchar_t *relative = Relative(pass);
    const bool folder = (look.entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (pass.job->preview)
        pass.job->preview->Add(relative, lstrlenW(relative), now, plan, folder);
    pass.events->ItemDone(ItemReport{relative, pass.path, folder, now, plan, ERROR_SUCCESS});
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
    UniqueFind find = StartEnumeration(pass, length, pass.pattern, &entry);
    if (!find)
        return Step::GoOn;
    FolderNames names;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        if (pass.Cancelled())
            return Step::Stop;
        pass.events->BeforeItem(entry.cFileName);
        const ItemLook look = {entry, &names, nullptr, nullptr};
        if (!pass.apply) {
            WalkPass::Add(pass.job->counters.files);
            newest->Take(entry.ftLastWriteTime);
            if (pass.preview && pass.stampFiles) {
                if (PreviewEntry(pass, length, look) == Step::Stop)
                    return Step::Stop;
                WalkPass::Add(pass.job->counters.processedFiles);
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
        WalkPass::Add(pass.job->counters.processedFiles);
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
        WalkPass::Add(pass.job->counters.folders);
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
        if (pass.Cancelled() || PreviewEntry(pass, length, look) == Step::Stop)
            return Step::Stop;
        WalkPass::Add(pass.job->counters.processedFolders);
    }
    if (pass.apply && pass.stampFolders) {
        if (pass.Cancelled())
            return Step::Stop;
        FILETIME written;
        const Step step = StampEntry(pass, length, look, &written);
        if (step != Step::GoOn)
            return step;
        WalkPass::Add(pass.job->counters.processedFolders);
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
        if (pass.Cancelled())
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
    if (pass.Cancelled())
        return Step::Stop;
    const KeptAccessTime kept(pass.path);
    const Step step = WalkFiles(pass, length, newest);
    return step == Step::GoOn && !pass.single ? WalkFolders(pass, length, newest) : step;
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
            pass.Failed(pass.path, folder.Valid() ? GetLastError() : folder.Error());
            return;
        }
    }
    const ItemLook look = {entry, nullptr, &newest, nullptr};
    FILETIME now[StampKinds];
    ListedStamps(entry, now);
    if (pass.preview) {
        if (PreviewItem(pass, length, look, now) == Step::GoOn)
            WalkPass::Add(pass.job->counters.processedFolders);
        return;
    }
    FILETIME written;
    const DWORD code = StampPlanned(pass, length, look, now, &written);
    if (code == ERROR_SUCCESS || pass.Failed(pass.path, code)) {
        WalkPass::Add(pass.job->counters.processedFolders);
        AdvanceProgress(pass);
    }
}

} // namespace

void RunWalk(const JobDescription &job, JobEvents &events, uint32_t total) {
    std::unique_ptr<wchar_t[]> path(new wchar_t[MaxPathLength + 1]);
    WalkPass pass;
    pass.job = &job;
    pass.events = &events;
    pass.total = total;
    pass.done = 0;
    pass.apply = job.kind == PassKind::Apply;
    pass.preview = job.kind == PassKind::Preview;
    for (int stamp = 0; stamp < StampKinds; ++stamp) {
        pass.rule.rule[stamp] = job.rule[stamp];
        pass.rule.shift[stamp] = job.shift[stamp];
    }
    pass.times.Refresh(job);
    pass.times.Fill(&pass.rule);
    pass.newest = pass.rule.Uses(RuleNewestInside);
    pass.stampFiles = !pass.rule.OnlyUses(RuleNewestInside);
    pass.list =
        pass.rule.Uses(RuleSavedList) && job.list && job.list->Loaded() ? job.list : nullptr;
    // Windows 6.1 and later list a folder faster without short names and with larger fetches.
    pass.basicFind = IsWindowsAtLeast(6, 1);
    pass.path = path.get();
    if (pass.list)
        pass.list->BeginPass();
    for (const JobTarget &target : job.targets) {
        if (pass.Cancelled() || PatternWalksNothing(target.pattern.c_str()))
            continue;
        const std::wstring root = ExtendedPath(target.folder.c_str());
        if (root.size() > MaxPathLength)
            continue;
        CopyText(path.get(), MaxPathLength + 1, root.c_str());
        pass.pattern = target.pattern.c_str();
        // One item is that item alone: nothing below its folder, and not its folder.
        pass.single = target.single;
        pass.deep = job.includeSubfolders && !target.single;
        pass.stampFolders = job.applyToFolders && !target.single;
        pass.rootLength = root.size();
        Newest newest;
        const Step step = WalkLevel(pass, root.size(), &newest);
        if (step == Step::GoOn && pass.newest && !target.single && (pass.apply || pass.preview) &&
            !pass.Cancelled())
            TakeTargetFolder(pass, root.size(), newest);
        if (step == Step::Stop)
            break;
    }
    if (pass.list && job.preview)
        job.preview->SetListLinesGone(pass.list->Unmatched());
}
