#include "engine/stamp.h"

#include "app/handles.h"
#include "app/text.h"
#include "engine/prompt.h"

const FILETIME KeepUnchanged = {0xFFFFFFFF, 0xFFFFFFFF};

namespace {

// Room for a path that does not fit, so the prompt can show it whole.
constexpr size_t ReportPathCapacity = 2 * PathCapacity;

// With the rules of the chosen date, not the offset in force today.
FILETIME LocalToFileTime(const SYSTEMTIME &local) {
    SYSTEMTIME universal = {};
    FILETIME utc = {};
    TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal);
    SystemTimeToFileTime(&universal, &utc);
    return utc;
}

// Reports an item that could not be stamped; false when the user chose to stop the job.
bool ReportFailure(const wchar_t *path, JobContext *context, DWORD code) {
    if (FileErrorPrompt(PromptStopJob, path, context, code) != IDCANCEL)
        return true;
    jobPhase = PhaseStopped;
    return false;
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
        return ReportFailure(path, context, ERROR_FILENAME_EXCED_RANGE);

    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ReportFailure(path, context, GetLastError());

    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly)
        SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);

    UniqueHandle item(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  StampOpenFlags(context->applyToFolders != 0, attributes),
                                  nullptr));
    if (!item) {
        const DWORD code = GetLastError();
        // Put the read-only bit back before the prompt shows.
        if (readOnly)
            SetFileAttributesW(path, attributes);
        return ReportFailure(path, context, code);
    }

    // The flags and times are read once, so a picker changed meanwhile cannot mix old and new.
    const bool useCreated = context->useCreated != 0;
    const bool useModified = context->useModified != 0;
    const bool useAccessed = context->useAccessed != 0;
    const FILETIME created = useCreated ? LocalToFileTime(context->timeCreated.Load()) : FILETIME{};
    const FILETIME modified =
        useModified ? LocalToFileTime(context->timeModified.Load()) : FILETIME{};
    const FILETIME accessed =
        useAccessed ? LocalToFileTime(context->timeAccessed.Load()) : FILETIME{};
    const StampArguments arguments =
        ChooseStampArguments(useCreated, useModified, useAccessed, created, modified, accessed);
    SetFileTime(item.Get(), arguments.created, arguments.accessed, arguments.written);
    item.Reset();

    if (readOnly)
        SetFileAttributesW(path, attributes);
    return true;
}
