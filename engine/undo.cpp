#include "engine/undo.h"

#include <cstring>
#include <new>

#include "app/text.h"
#include "engine/paths.h"
#include "engine/stamp.h"

namespace {

constexpr size_t EntryAlignment = alignof(UndoEntry);

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

UndoRecord::UndoRecord(const wchar_t *folder, const SYSTEMTIME &appliedAt)
    : folder_(folder), appliedAt_(appliedAt) {}

bool UndoRecord::NeedsBlock(size_t pathLength) const {
    return blocks_.empty() || used_.back() + EntrySize(pathLength) > BlockSize;
}

bool UndoRecord::Add(const wchar_t *relative, size_t length, const ItemStamps &before,
                     const ItemStamps &applied, uint32_t stamps) {
    // An entry never spans two blocks; the longest path the walk makes fits in one.
    const size_t need = EntrySize(length);
    if (need > BlockSize) {
        ++lost_;
        return false;
    }
    if (NeedsBlock(length)) {
        std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[BlockSize]);
        if (!block) {
            ++lost_;
            return false;
        }
        blocks_.push_back(std::move(block));
        used_.push_back(0);
    }
    auto *entry = reinterpret_cast<UndoEntry *>(blocks_.back().get() + used_.back());
    entry->before = before;
    entry->applied = applied;
    entry->stamps = stamps;
    entry->pathLength = static_cast<uint32_t>(length);
    auto *path = reinterpret_cast<wchar_t *>(entry + 1);
    std::memcpy(path, relative, length * sizeof(wchar_t));
    path[length] = L'\0';
    used_.back() += need;
    ++count_;
    return true;
}

const UndoEntry *UndoRecord::Next(UndoCursor *cursor) const {
    // Unused room at a block's end: the entries go on in the next block.
    for (; cursor->block < blocks_.size(); ++cursor->block, cursor->offset = 0) {
        if (cursor->offset < used_[cursor->block]) {
            const auto *entry =
                reinterpret_cast<const UndoEntry *>(blocks_[cursor->block].get() + cursor->offset);
            cursor->offset += EntrySize(entry->pathLength);
            return entry;
        }
    }
    return nullptr;
}

void UndoHistory::Begin(const wchar_t *folder, const SYSTEMTIME &appliedAt) {
    End();
    std::unique_ptr<UndoRecord> record(new (std::nothrow) UndoRecord(folder, appliedAt));
    if (!record)
        return;
    const Locked locked(lock_);
    records_.push_back(std::move(record));
    open_ = true;
}

bool UndoHistory::Add(const wchar_t *relative, size_t length, const ItemStamps &before,
                      const ItemStamps &applied, uint32_t stamps) {
    const Locked locked(lock_);
    if (!open_)
        return false;
    UndoRecord &record = *records_.back();
    if (record.NeedsBlock(length)) {
        // Room for one more block: older applies give way to the one that runs.
        while (BytesReservedLocked() + UndoRecord::BlockSize > budget_ && records_.size() > 1)
            records_.erase(records_.begin());
        if (BytesReservedLocked() + UndoRecord::BlockSize > budget_) {
            record.CountLost();
            return false;
        }
    }
    return record.Add(relative, length, before, applied, stamps);
}

void UndoHistory::CountLost() {
    const Locked locked(lock_);
    if (open_)
        records_.back()->CountLost();
}

void UndoHistory::End() {
    const Locked locked(lock_);
    if (open_ && records_.back()->Count() == 0 && records_.back()->Lost() == 0)
        records_.pop_back();
    open_ = false;
}

const UndoRecord *UndoHistory::Open() const {
    const Locked locked(lock_);
    return open_ ? records_.back().get() : nullptr;
}

size_t UndoHistory::Records() const {
    const Locked locked(lock_);
    return records_.size();
}

bool UndoHistory::Recording() const {
    const Locked locked(lock_);
    return recording_ && open_;
}

const UndoRecord *UndoHistory::NewestLocked() const {
    if (records_.empty() || open_)
        return nullptr;
    return records_.back().get();
}

const UndoRecord *UndoHistory::Newest() const {
    const Locked locked(lock_);
    return NewestLocked();
}

bool UndoHistory::NewestSummary(UndoSummary *summary) const {
    const Locked locked(lock_);
    const UndoRecord *record = NewestLocked();
    if (!record)
        return false;
    summary->folder = record->Folder();
    summary->count = record->Count();
    summary->lost = record->Lost();
    summary->appliedAt = record->AppliedAt();
    return true;
}

void UndoHistory::DropNewest() {
    const Locked locked(lock_);
    if (!records_.empty() && !open_)
        records_.pop_back();
}

void UndoHistory::Clear() {
    const Locked locked(lock_);
    records_.clear();
    open_ = false;
}

size_t UndoHistory::BytesReserved() const {
    const Locked locked(lock_);
    return BytesReservedLocked();
}

size_t UndoHistory::BytesReservedLocked() const {
    size_t bytes = 0;
    for (const auto &record : records_)
        bytes += record->BytesReserved();
    return bytes;
}

namespace {

bool IsNotFound(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

void Add(SharedCount *counter) {
    if (counter)
        ++*counter;
}

// One undo pass over the newest record.
class UndoPass {
  public:
    UndoPass(const JobDescription &job, JobEvents &events, const UndoRecord &record)
        : job_(job), events_(events), record_(record) {}
    // False when the pass is to stop.
    bool Item(const UndoEntry &entry);

  private:
    // An item that cannot be restored is reported; going on, it counts as skipped.
    bool SkipAfterFailure(const wchar_t *path, DWORD code);
    bool UnderGoneFolder(const std::wstring &path) const;
    bool ReportMissing(const std::wstring &path, DWORD code);
    const JobDescription &job_;
    JobEvents &events_;
    const UndoRecord &record_;
    std::wstring goneFolder_; // a folder of the record found gone, reported once
};

bool UndoPass::SkipAfterFailure(const wchar_t *path, DWORD code) {
    Add(job_.counters.failed);
    if (!events_.ItemFailed(path, code))
        return false;
    Add(job_.counters.skipped);
    return true;
}

bool UndoPass::UnderGoneFolder(const std::wstring &path) const {
    return !goneFolder_.empty() && path.size() > goneFolder_.size() &&
           path.compare(0, goneFolder_.size(), goneFolder_) == 0 &&
           path[goneFolder_.size()] == L'\\';
}

// An item that is not there: when its folder has gone, that folder is reported once and the
// rest of its items are passed over; otherwise the item itself is reported.
bool UndoPass::ReportMissing(const std::wstring &path, DWORD code) {
    std::wstring gone;
    const size_t rootLength = lstrlenW(record_.Folder());
    for (std::wstring folder = ParentPath(path); folder.size() >= rootLength;
         folder = ParentPath(folder)) {
        if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES)
            break;
        gone = folder;
    }
    if (gone.empty())
        return SkipAfterFailure(path.c_str(), code);
    goneFolder_ = gone;
    return SkipAfterFailure(gone.c_str(), ERROR_PATH_NOT_FOUND);
}

// Puts the earlier times back when the item still carries the applied ones.
bool UndoPass::Item(const UndoEntry &entry) {
    const std::wstring path = JoinPath(record_.Folder(), entry.Path());
    if (path.size() > static_cast<size_t>(PathCapacity - 1))
        return SkipAfterFailure(path.c_str(), ERROR_FILENAME_EXCED_RANGE);
    if (UnderGoneFolder(path)) {
        Add(job_.counters.skipped);
        return true;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        return IsNotFound(code) ? ReportMissing(path, code) : SkipAfterFailure(path.c_str(), code);
    }
    DWORD flags = (entry.stamps & ItemIsFolder) ? FILE_FLAG_BACKUP_SEMANTICS : 0;
    if (entry.stamps & ItemIsLink)
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    TimesHandle item(path.c_str(), attributes, flags);
    if (!item.Valid())
        return SkipAfterFailure(path.c_str(), item.Error());
    ItemStamps now = {};
    if (!stampCalls.getFileTime(item.Get(), &now.created, &now.accessed, &now.written)) {
        const DWORD code = GetLastError();
        item.Close(); // the read-only bit is back before the prompt shows
        return SkipAfterFailure(path.c_str(), code);
    }
    if (!StillCarries(now, entry.applied, entry.stamps)) {
        Add(job_.counters.skipped);
        return true;
    }
    const StampArguments arguments =
        ChooseStampArguments((entry.stamps & StampCreated) != 0, (entry.stamps & StampWritten) != 0,
                             (entry.stamps & StampAccessed) != 0, entry.before.created,
                             entry.before.written, entry.before.accessed);
    const bool set = stampCalls.setFileTime(item.Get(), arguments.created, arguments.accessed,
                                            arguments.written) != FALSE;
    const DWORD code = set ? ERROR_SUCCESS : GetLastError();
    item.Close();
    if (!set)
        return SkipAfterFailure(path.c_str(), code);
    Add(job_.counters.restored);
    return true;
}

} // namespace

void RunUndoPass(const JobDescription &job, JobEvents &events) {
    UndoHistory *history = job.history;
    const UndoRecord *record = history ? history->Newest() : nullptr;
    if (!record)
        return;
    UndoPass pass(job, events, *record);
    UndoCursor cursor;
    bool complete = true;
    uint32_t done = 0;
    while (const UndoEntry *entry = record->Next(&cursor)) {
        if (events.Cancelled()) {
            complete = false;
            break;
        }
        events.BeforeItem(entry->Path());
        if (!pass.Item(*entry)) {
            complete = false;
            break;
        }
        Add(job.counters.processedFiles);
        events.Progress(++done, record->Count());
    }
    // Undone in full: the apply before is next. A stopped undo keeps the record, so a second one
    // finishes the rest (restored items no longer carry the applied times and are skipped).
    if (complete && !events.Cancelled())
        history->DropNewest();
}
