#include "engine/stamp.h"

#include "app/handles.h"
#include "app/text.h"
#include "engine/prompt.h"
#include "engine/undo.h"

const FILETIME KeepUnchanged = {0xFFFFFFFF, 0xFFFFFFFF};

namespace {

// Room for a path that does not fit, so the prompt can show it whole.
constexpr size_t ReportPathCapacity = 2 * PathCapacity;

FILETIME LocalToFileTime(const SYSTEMTIME &local) {
    FILETIME localFile = {}, utc = {};
    SystemTimeToFileTime(&local, &localFile);
    LocalFileTimeToFileTime(&localFile, &utc);
    return utc;
}

// What stamping one item sets, and what it found there before.
struct NewTimes {
    bool useCreated, useModified, useAccessed;
    FILETIME created, modified, accessed;
    ItemStamps before;
    bool set;
};

bool SetNewTimes(HANDLE item, void *context) {
    auto *times = static_cast<NewTimes *>(context);
    times->set = false;
    // The times it carried before, for undoing the apply; an item whose times cannot be read
    // is still stamped, but cannot be undone.
    const bool readable =
        undoRecord.Recording() &&
        GetFileTime(item, &times->before.created, &times->before.accessed, &times->before.written);
    const StampArguments arguments =
        ChooseStampArguments(times->useCreated, times->useModified, times->useAccessed,
                             times->created, times->modified, times->accessed);
    times->set =
        SetFileTime(item, arguments.created, arguments.accessed, arguments.written) && readable;
    return true;
}

void RecordStamp(const wchar_t *name, const JobContext *context, const NewTimes &times,
                 DWORD attributes) {
    wchar_t relative[ReportPathCapacity];
    const size_t length =
        RelativeItemPath(context->folder, context->pickedPath, name, relative, ReportPathCapacity);
    if (length == 0)
        return;
    ItemStamps applied = times.before;
    uint32_t stamps = 0;
    if (times.useCreated) {
        applied.created = times.created;
        stamps |= StampCreated;
    }
    if (times.useAccessed) {
        applied.accessed = times.accessed;
        stamps |= StampAccessed;
    }
    if (times.useModified) {
        applied.written = times.modified;
        stamps |= StampWritten;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        stamps |= ItemIsFolder;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        stamps |= ItemIsLink;
    undoRecord.Add(relative, length, times.before, applied, stamps);
}

} // namespace

bool ReportStampFailure(const wchar_t *path, JobContext *context, DWORD code) {
    if (FileErrorPrompt(PromptStopJob, path, context, code) != IDCANCEL)
        return true;
    jobPhase = PhaseStopped;
    return false;
}

bool ChangeItemTimes(const wchar_t *path, DWORD openFlags, bool (*change)(HANDLE, void *),
                     void *context, DWORD *code) {
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *code = GetLastError();
        return false;
    }
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly)
        SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    UniqueHandle item(CreateFileW(path, GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, openFlags, nullptr));
    bool changed = false;
    if (!item) {
        *code = GetLastError();
    } else if (!change(item.Get(), context)) {
        *code = GetLastError();
    } else {
        changed = true;
    }
    item.Reset();
    // Put the read-only bit back, also when the open failed, before any prompt shows.
    if (readOnly)
        SetFileAttributesW(path, attributes);
    return changed;
}

StampArguments ChooseStampArguments(bool useCreated, bool useModified, bool useAccessed,
                                    const FILETIME &created, const FILETIME &modified,
                                    const FILETIME &accessed) {
    StampArguments arguments;
    arguments.created = useCreated ? &created : nullptr;
    arguments.accessed = useAccessed ? &accessed : &KeepUnchanged;
    arguments.written = useModified ? &modified : nullptr;
    return arguments;
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
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    return flags;
}

bool StampItem(const wchar_t *name, JobContext *context) {
    wchar_t path[ReportPathCapacity];
    // A cut path could name a different, existing item: such an item is reported, never used.
    if (JoinItemPath(path, ReportPathCapacity, context->pickedPath, name) >= PathCapacity)
        return ReportStampFailure(path, context, ERROR_FILENAME_EXCED_RANGE);

    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ReportStampFailure(path, context, GetLastError());

    // The flags and times are read once, so a picker changed meanwhile cannot mix old and new.
    NewTimes times = {};
    times.useCreated = context->useCreated != 0;
    times.useModified = context->useModified != 0;
    times.useAccessed = context->useAccessed != 0;
    if (times.useCreated)
        times.created = LocalToFileTime(context->timeCreated.Load());
    if (times.useModified)
        times.modified = LocalToFileTime(context->timeModified.Load());
    if (times.useAccessed)
        times.accessed = LocalToFileTime(context->timeAccessed.Load());

    DWORD code = 0;
    if (!ChangeItemTimes(path, StampOpenFlags(context->applyToFolders != 0, attributes),
                         SetNewTimes, &times, &code))
        return ReportStampFailure(path, context, code);
    if (times.set)
        RecordStamp(name, context, times, attributes);
    return true;
}
