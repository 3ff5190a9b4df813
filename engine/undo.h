#pragma once
// The record of the last apply pass, kept in memory only, and the pass that puts every item it
// holds back to the times it had before.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "app/job_context.h"

// The applyMode of an undo request: one pass that restores the record's items.
constexpr int32_t UndoMode = 2;

// Which stamps a pass set, and what kind of item it set them on.
enum StampBit : uint32_t {
    StampCreated = 1,
    StampAccessed = 2,
    StampWritten = 4,
    ItemIsFolder = 8, // opened with backup semantics
    ItemIsLink = 16,  // a folder link, opened as the link itself
};

// The three times of an item (UTC), in SetFileTime's order.
struct ItemStamps {
    FILETIME created, accessed, written;
};

// Whether an item still carries what the apply set on it: only the stamps that were set count.
bool StillCarries(const ItemStamps &now, const ItemStamps &applied, uint32_t stamps);

// One item of the record: its times before and after the apply, and its path relative to the
// target folder, which follows the header with its terminator.
struct UndoEntry {
    ItemStamps before;
    ItemStamps applied;
    uint32_t stamps;     // StampBit values
    uint32_t pathLength; // characters, without the terminator
    const wchar_t *Path() const { return reinterpret_cast<const wchar_t *>(this + 1); }
};

// One block of memory that grows by doubling; an entry is appended per stamped item, with no
// allocation of its own.
class UndoRecord {
  public:
    // A new apply pass on this folder (extended-length form) begins: whatever was recorded goes.
    void Begin(const wchar_t *folder, const SYSTEMTIME &appliedAt);
    // False when memory ran out (the item is stamped but cannot be undone).
    bool Add(const wchar_t *relative, size_t length, const ItemStamps &before,
             const ItemStamps &applied, uint32_t stamps);
    void Clear();
    // Whether apply passes record at all; on unless a measurement turns it off.
    void SetRecording(bool on) { recording_ = on; }
    bool Recording() const { return recording_; }

    uint32_t Count() const { return count_; }
    size_t BytesReserved() const { return capacity_; }
    const wchar_t *Folder() const { return folder_.get() ? folder_.get() : L""; }
    const SYSTEMTIME &AppliedAt() const { return appliedAt_; }
    // Entries in the order they were stamped: start with offset 0; null after the last.
    const UndoEntry *Next(size_t *offset) const;

  private:
    std::unique_ptr<wchar_t[]> folder_;
    std::unique_ptr<unsigned char[]> block_;
    size_t size_ = 0;
    size_t capacity_ = 0;
    std::atomic<uint32_t> count_{0};
    std::atomic<bool> recording_{true};
    SYSTEMTIME appliedAt_ = {};
};

// The record of this run's last apply pass. Written by the walk thread of an apply pass, read by
// the dialog only while no pass runs.
extern UndoRecord undoRecord;
// What the last undo did, for the status line.
extern SharedCount undoRestored;
extern SharedCount undoSkipped;
extern SharedWord undoShown; // 1 from the end of an undo until the next job starts

// Walk thread of an undo pass: every recorded item that still carries the applied times gets its
// earlier times back; the others are counted as skipped. A complete pass clears the record.
DWORD WINAPI UndoThread(void *context);
