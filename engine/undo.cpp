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

// An item that cannot be restored: the prompt, and on continue it counts as skipped.
bool SkipAfterFailure(const wchar_t *path, JobContext *context, DWORD code) {
    if (!ReportStampFailure(path, context, code))
        return false;
    ++undoSkipped;
    return true;
}

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

namespace {

// Puts the earlier times back when the item still carries the applied ones. False when the user
// chose to stop in the error prompt.
bool UndoItem(JobContext *context, const UndoEntry &entry, wchar_t *path, size_t capacity) {
    const wchar_t *folder = undoRecord.Folder();
    if (FormatText(path, capacity, L"%s\\%s", folder, entry.Path()) != S_OK)
        return SkipAfterFailure(path, context, ERROR_FILENAME_EXCED_RANGE);
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return SkipAfterFailure(path, context, GetLastError());
    DWORD flags = (entry.stamps & ItemIsFolder) ? FILE_FLAG_BACKUP_SEMANTICS : 0;
    if (entry.stamps & ItemIsLink)
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    TimesHandle item(path, attributes, flags);
    if (!item.Valid())
        return SkipAfterFailure(path, context, item.Error());
    ItemStamps now = {};
    if (!GetFileTime(item.Get(), &now.created, &now.accessed, &now.written))
        return SkipAfterFailure(path, context, GetLastError());
    if (!StillCarries(now, entry.applied, entry.stamps)) {
        ++undoSkipped;
        return true;
    }
    const StampArguments arguments =
        ChooseStampArguments((entry.stamps & StampCreated) != 0, (entry.stamps & StampWritten) != 0,
                             (entry.stamps & StampAccessed) != 0, entry.before.created,
                             entry.before.written, entry.before.accessed);
    if (!stampCalls.setFileTime(item.Get(), arguments.created, arguments.accessed,
                                arguments.written))
        return SkipAfterFailure(path, context, GetLastError());
    ++undoRestored;
    return true;
}

} // namespace

DWORD WINAPI UndoThread(void *context) {
    walkThreadId = GetCurrentThreadId();
    auto *job = static_cast<JobContext *>(context);
    // Room for any path the walk can stamp; allocated once for the whole pass.
    constexpr size_t Capacity = PathCapacity + 8;
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
