#include "engine/undo.h"

#include <cstring>
#include <new>

#include "app/text.h"
#include "engine/prompt.h"
#include "engine/stamp.h"
#include "engine/walk.h"

UndoRecord undoRecord;
SharedCount undoRestored{0};
SharedCount undoSkipped{0};
SharedWord undoShown{0};

namespace {

constexpr size_t EntryAlignment = alignof(UndoEntry);
constexpr size_t FirstCapacity = 64 * 1024;

// The path keeps its terminator, so an entry's path can be used as a text.
size_t EntrySize(size_t pathLength) {
    const size_t bytes = sizeof(UndoEntry) + (pathLength + 1) * sizeof(wchar_t);
    return (bytes + EntryAlignment - 1) / EntryAlignment * EntryAlignment;
}

bool SameTime(const FILETIME &a, const FILETIME &b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

} // namespace

bool StillCarries(const ItemStamps &now, const ItemStamps &applied, uint32_t stamps) {
    if ((stamps & StampCreated) && !SameTime(now.created, applied.created))
        return false;
    if ((stamps & StampAccessed) && !SameTime(now.accessed, applied.accessed))
        return false;
    if ((stamps & StampWritten) && !SameTime(now.written, applied.written))
        return false;
    return (stamps & (StampCreated | StampAccessed | StampWritten)) != 0;
}

void UndoRecord::Begin(const wchar_t *folder, const SYSTEMTIME &appliedAt) {
    Clear();
    const size_t length = lstrlenW(folder);
    folder_.reset(new (std::nothrow) wchar_t[length + 1]);
    if (folder_)
        CopyText(folder_.get(), length + 1, folder);
    appliedAt_ = appliedAt;
}

bool UndoRecord::Add(const wchar_t *relative, size_t length, const ItemStamps &before,
                     const ItemStamps &applied, uint32_t stamps) {
    if (!folder_ || length > UINT32_MAX / sizeof(wchar_t))
        return false;
    const size_t need = EntrySize(length);
    if (size_ + need > capacity_) {
        size_t grown = capacity_ ? capacity_ : FirstCapacity;
        while (grown < size_ + need)
            grown *= 2;
        std::unique_ptr<unsigned char[]> bigger(new (std::nothrow) unsigned char[grown]);
        if (!bigger)
            return false;
        if (size_)
            std::memcpy(bigger.get(), block_.get(), size_);
        block_ = std::move(bigger);
        capacity_ = grown;
    }
    auto *entry = reinterpret_cast<UndoEntry *>(block_.get() + size_);
    entry->before = before;
    entry->applied = applied;
    entry->stamps = stamps;
    entry->pathLength = static_cast<uint32_t>(length);
    auto *path = reinterpret_cast<wchar_t *>(entry + 1);
    std::memcpy(path, relative, length * sizeof(wchar_t));
    path[length] = L'\0';
    size_ += need;
    ++count_;
    return true;
}

void UndoRecord::Clear() {
    block_.reset();
    folder_.reset();
    size_ = 0;
    capacity_ = 0;
    count_ = 0;
}

const UndoEntry *UndoRecord::Next(size_t *offset) const {
    if (*offset >= size_)
        return nullptr;
    const auto *entry = reinterpret_cast<const UndoEntry *>(block_.get() + *offset);
    *offset += EntrySize(entry->pathLength);
    return entry;
}

size_t RelativeItemPath(const wchar_t *folder, const wchar_t *workingFolder, const wchar_t *name,
                        wchar_t *buffer, size_t capacity) {
    const wchar_t *below = workingFolder + lstrlenW(folder);
    while (*below == L'\\')
        ++below;
    const HRESULT made = *below ? FormatText(buffer, capacity, L"%s\\%s", below, name)
                                : CopyText(buffer, capacity, name);
    return made == S_OK ? static_cast<size_t>(lstrlenW(buffer)) : 0;
}

namespace {

struct Restore {
    const UndoEntry *entry;
    bool restored;
};

// Puts the earlier times back when the item still carries the applied ones.
bool RestoreTimes(HANDLE item, void *context) {
    auto *restore = static_cast<Restore *>(context);
    const UndoEntry &entry = *restore->entry;
    ItemStamps now = {};
    if (!GetFileTime(item, &now.created, &now.accessed, &now.written))
        return false;
    restore->restored = false;
    if (!StillCarries(now, entry.applied, entry.stamps))
        return true;
    const StampArguments arguments =
        ChooseStampArguments((entry.stamps & StampCreated) != 0, (entry.stamps & StampWritten) != 0,
                             (entry.stamps & StampAccessed) != 0, entry.before.created,
                             entry.before.written, entry.before.accessed);
    if (!SetFileTime(item, arguments.created, arguments.accessed, arguments.written))
        return false;
    restore->restored = true;
    return true;
}

// False when the user chose to stop in the error prompt.
bool UndoItem(JobContext *context, const UndoEntry &entry, wchar_t *path, size_t capacity) {
    const wchar_t *folder = undoRecord.Folder();
    const size_t folderLength = lstrlenW(folder);
    const bool slash = folderLength > 0 && folder[folderLength - 1] == L'\\';
    const size_t total = folderLength + (slash ? 0 : 1) + entry.pathLength;
    if (total >= capacity)
        return ReportStampFailure(path, context, ERROR_FILENAME_EXCED_RANGE);
    std::memcpy(path, folder, folderLength * sizeof(wchar_t));
    size_t length = folderLength;
    if (!slash)
        path[length++] = L'\\';
    std::memcpy(path + length, entry.Path(), entry.pathLength * sizeof(wchar_t));
    path[total] = L'\0';

    DWORD flags = (entry.stamps & ItemIsFolder) ? FILE_FLAG_BACKUP_SEMANTICS : 0;
    if (entry.stamps & ItemIsLink)
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    Restore restore = {&entry, false};
    DWORD code = 0;
    if (!ChangeItemTimes(path, flags, RestoreTimes, &restore, &code)) {
        // Continue leaves the item as it is: it counts as skipped.
        if (!ReportStampFailure(path, context, code))
            return false;
        ++undoSkipped;
        return true;
    }
    if (restore.restored)
        ++undoRestored;
    else
        ++undoSkipped;
    return true;
}

} // namespace

DWORD WINAPI UndoThread(void *context) {
    walkThreadId = GetCurrentThreadId();
    auto *job = static_cast<JobContext *>(context);
    // Room for any path the walk can stamp; allocated once for the whole pass.
    constexpr size_t Capacity = 32768;
    std::unique_ptr<wchar_t[]> path(new (std::nothrow) wchar_t[Capacity]);
    bool complete = path != nullptr;
    size_t offset = 0;
    while (complete) {
        const UndoEntry *entry = undoRecord.Next(&offset);
        if (!entry)
            break;
        if (WalkCancelled())
            break;
        if (const auto hook = beforeWalkItem.load())
            hook(entry->Path());
        if (!UndoItem(job, *entry, path.get(), Capacity)) {
            complete = false;
            break;
        }
        ++processedFiles;
        if (ITaskbarList3 *taskbar = taskbarList)
            taskbar->SetProgressValue(job->dialog, ++progressCount, undoRecord.Count());
    }
    // Undone in full: nothing is left to undo. A stopped undo keeps the record, so a second one
    // finishes the rest (restored items no longer carry the applied times and are skipped).
    if (complete && !WalkCancelled())
        undoRecord.Clear();
    walkThreadId = 0;
    return 0;
}
