#include "engine/stamp.h"

#include <shlwapi.h>

#include "app/handles.h"
#include "app/text.h"
#include "engine/undo.h"

const FILETIME KeepUnchanged = {0xFFFFFFFF, 0xFFFFFFFF};

namespace {

// Everything SetFileTime needs, and GetFileTime for the undo record; shared with every other
// opener, and needing no write sharing, so a file that another program holds open is stamped all
// the same.
UniqueHandle OpenForStamping(const wchar_t *path, DWORD flags, DWORD content) {
    return UniqueHandle(
        stampCalls.createFile(path, FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES | content,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, flags, nullptr));
}

// Keeps what the apply pass did to the item at path, below the folder it walks, for undo: the
// times it had before, and the times it carries now as read back from the item.
void RecordStamp(UndoHistory &history, const wchar_t *path, DWORD attributes,
                 const ItemStamps &before, const ItemStamps &after, const StampArguments &set) {
    const UndoRecord *record = history.Open();
    const wchar_t *folder = record ? record->Folder() : L"";
    const size_t folderLength = lstrlenW(folder);
    if (folderLength == 0 || StrCmpNW(path, folder, static_cast<int>(folderLength)) != 0) {
        history.CountLost();
        return;
    }
    const wchar_t *relative = path + folderLength;
    while (*relative == L'\\')
        ++relative;
    uint32_t stamps = 0;
    if (set.created)
        stamps |= StampCreated;
    if (set.accessed != &KeepUnchanged && !set.accessPutBack)
        stamps |= StampAccessed;
    if (set.written)
        stamps |= StampWritten;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        stamps |= ItemIsFolder;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        stamps |= ItemIsLink;
    history.Add(relative, lstrlenW(relative), before, after, stamps);
}

// What the item carries after SetFileTime: a volume may keep less than it was given (2 s write
// times and access dates on FAT). Where it cannot be read, what was asked for.
ItemStamps ReadBack(HANDLE item, const ItemStamps &before, const StampArguments &set) {
    ItemStamps after = before;
    if (stampCalls.getFileTime(item, &after.created, &after.accessed, &after.written))
        return after;
    after = before;
    if (set.created)
        after.created = *set.created;
    if (set.accessed != &KeepUnchanged)
        after.accessed = *set.accessed;
    if (set.written)
        after.written = *set.written;
    return after;
}

} // namespace

StampArguments ChooseStampArguments(bool useCreated, bool useModified, bool useAccessed,
                                    const FILETIME &created, const FILETIME &modified,
                                    const FILETIME &accessed) {
    StampArguments arguments;
    arguments.created = useCreated ? &created : nullptr;
    arguments.accessed = useAccessed ? &accessed : &KeepUnchanged;
    arguments.written = useModified ? &modified : nullptr;
    return arguments;
}

StampArguments PlanArguments(const RulePlan &plan) {
    StampArguments arguments;
    arguments.created = plan.write[StampIndexCreated] ? &plan.value[StampIndexCreated] : nullptr;
    arguments.accessed =
        plan.write[StampIndexAccessed] ? &plan.value[StampIndexAccessed] : &KeepUnchanged;
    arguments.written = plan.write[StampIndexWritten] ? &plan.value[StampIndexWritten] : nullptr;
    return arguments;
}

void StampTimes::Fill(RuleChoice *choice) const {
    for (int stamp = 0; stamp < StampKinds; ++stamp) {
        choice->use[stamp] = stamps_[stamp].use;
        choice->fixed[stamp] = stamps_[stamp].utc;
    }
}

void StampTimes::RefreshOne(Stamp *stamp, const SharedWord *use, const SharedTime *time) {
    stamp->use = use && *use != 0;
    if (!stamp->use || !time)
        return;
    const uint32_t version = time->Version();
    if (stamp->converted && stamp->version == version)
        return;
    stamp->utc = time->Moment();
    stamp->version = version;
    stamp->converted = true;
}

void StampTimes::Refresh(const JobDescription &job) {
    for (int stamp = 0; stamp < StampKinds; ++stamp)
        RefreshOne(&stamps_[stamp], job.use[stamp], job.time[stamp]);
}

StampArguments StampTimes::Arguments() const {
    return ChooseStampArguments(stamps_[StampIndexCreated].use, stamps_[StampIndexWritten].use,
                                stamps_[StampIndexAccessed].use, stamps_[StampIndexCreated].utc,
                                stamps_[StampIndexWritten].utc, stamps_[StampIndexAccessed].utc);
}

size_t JoinItemPath(wchar_t *path, size_t capacity, const wchar_t *folder, const wchar_t *name) {
    size_t length = 0;
    CopyText(path, capacity, folder, &length);
    size_t total = lstrlenW(folder);
    if (total == 0 || folder[total - 1] != L'\\') {
        if (length + 1 < capacity) {
            path[length++] = L'\\';
            path[length] = L'\0';
        }
        ++total;
    }
    if (length + 1 < capacity)
        CopyText(path + length, capacity - length, name);
    return total + lstrlenW(name);
}

DWORD StampOpenFlags(bool applyToFolders, DWORD attributes) {
    DWORD flags = applyToFolders ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL;
    // A link is stamped as itself, never the item it points to (which may lie outside the tree).
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    return flags;
}

bool NeedsWritableRoute(DWORD openError, DWORD attributes) {
    return openError == ERROR_ACCESS_DENIED && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool HoldsContentDate(DWORD attributes) {
    return !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

TimesHandle::TimesHandle(const wchar_t *path, DWORD attributes, DWORD flags, bool readContent)
    : path_(path), attributes_(attributes),
      item_(OpenForStamping(path, flags, readContent ? GENERIC_READ : 0)) {
    if (item_)
        return;
    error_ = GetLastError();
    if (!NeedsWritableRoute(error_, attributes))
        return;
    // Where the system insists, the read-only bit is cleared for the moment of the change.
    stampCalls.setAttributes(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    cleared_ = true;
    item_.Reset(stampCalls.createFile(
        path, GENERIC_WRITE | FILE_READ_ATTRIBUTES | (readContent ? GENERIC_READ : 0),
        FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr));
    if (item_) {
        error_ = ERROR_SUCCESS;
        return;
    }
    error_ = GetLastError();
    Close(); // the bit is back before any prompt shows
}

TimesHandle::~TimesHandle() {
    Close();
}

void TimesHandle::Close() {
    item_.Reset();
    if (cleared_)
        stampCalls.setAttributes(path_, attributes_);
    cleared_ = false;
}

DWORD StampOpenItem(HANDLE item, const wchar_t *path, DWORD attributes,
                    const StampArguments &arguments, UndoHistory *history,
                    const ItemStamps *known) {
    // The times it carried before, for undoing the apply; an item whose times cannot be read is
    // still stamped, but cannot be undone.
    const bool recording = history && history->Recording();
    ItemStamps before = known ? *known : ItemStamps{};
    const bool readBefore =
        recording &&
        (known || stampCalls.getFileTime(item, &before.created, &before.accessed, &before.written));
    const bool set = stampCalls.setFileTime(item, arguments.created, arguments.accessed,
                                            arguments.written) != FALSE;
    const DWORD code = set ? ERROR_SUCCESS : GetLastError();
    if (set && readBefore)
        RecordStamp(*history, path, attributes, before, ReadBack(item, before, arguments),
                    arguments);
    else if (set && recording)
        history->CountLost();
    return code;
}

DWORD TryStampItem(const wchar_t *path, DWORD attributes, const StampArguments &arguments,
                   bool applyToFolders, UndoHistory *history) {
    TimesHandle item(path, attributes, StampOpenFlags(applyToFolders, attributes));
    if (!item.Valid())
        return item.Error();
    return StampOpenItem(item.Get(), path, attributes, arguments, history);
}
