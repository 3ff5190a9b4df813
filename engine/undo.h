#pragma once
// The undo history of this run: one record per apply pass that stamped something, kept in
// memory only, and the pass that puts the items of the newest record back to the times they had
// before that apply.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/handles.h"
#include "app/job_context.h"
#include "engine/job_api.h"

// Which stamps a pass set, and what kind of item it set them on.
enum StampBit : uint32_t {
    StampCreated = 1,
    StampAccessed = 2,
    StampWritten = 4,
    ItemIsFolder = 8, // opened with backup semantics
    ItemIsLink = 16,  // a reparse point, opened as the item itself
};

// The three times of an item (UTC), in SetFileTime's order.
struct ItemStamps {
    FILETIME created, accessed, written;
};

// Whether an item still carries what the apply left on it: only the stamps that were set count.
bool StillCarries(const ItemStamps &now, const ItemStamps &applied, uint32_t stamps);

// One item of a record: its times before the apply and as read back after it (a volume may
// round what it was given), and its path relative to the target folder, which follows the
// header with its terminator.
struct UndoEntry {
    ItemStamps before;
    ItemStamps applied;
    uint32_t stamps;     // StampBit values
    uint32_t pathLength; // characters, without the terminator
    const wchar_t *Path() const { return reinterpret_cast<const wchar_t *>(this + 1); }
};

// Where an entry of a record is: its block and its offset there. Start at the default.
struct UndoCursor {
    size_t block = 0;
    size_t offset = 0;
};

// The record of one apply pass: a chain of fixed-size blocks, so growing never copies and never
// holds two blocks' worth for a moment. An entry is appended per stamped item.
class UndoRecord {
  public:
    static constexpr size_t BlockSize = 256 * 1024;

    UndoRecord(const wchar_t *folder, const SYSTEMTIME &appliedAt);
    // Whether an entry for a path of this length would need a new block.
    bool NeedsBlock(size_t pathLength) const;
    // False when the entry cannot be kept (no memory for a block): the item is counted as lost.
    bool Add(const wchar_t *relative, size_t length, const ItemStamps &before,
             const ItemStamps &applied, uint32_t stamps);
    void CountLost() { ++lost_; }

    uint32_t Count() const { return count_; }
    uint32_t Lost() const { return lost_; } // stamped, but cannot be put back
    size_t BytesReserved() const { return blocks_.size() * BlockSize; }
    const wchar_t *Folder() const { return folder_.c_str(); }
    const SYSTEMTIME &AppliedAt() const { return appliedAt_; }
    // Entries in the order they were stamped; null after the last.
    const UndoEntry *Next(UndoCursor *cursor) const;

  private:
    std::wstring folder_;
    SYSTEMTIME appliedAt_;
    std::vector<std::unique_ptr<unsigned char[]>> blocks_;
    std::vector<size_t> used_; // bytes used in each block
    uint32_t count_ = 0;
    uint32_t lost_ = 0;
};

// What the dialog shows of the newest record: a copy, so nothing of it can go while it is shown.
struct UndoSummary {
    std::wstring folder;
    uint32_t count = 0;
    uint32_t lost = 0;
    SYSTEMTIME appliedAt = {};
};

// Every record of this run, oldest first. The job threads change it (the controller begins and
// ends records, the walk adds to the open one, an undo drops the newest); the dialog reads
// summaries of it at any moment, so every change and every read holds the history's lock.
class UndoHistory {
  public:
    // All records together stay below this (also in the 32-bit build's address space).
    static constexpr size_t DefaultBudget = 240u << 20;

    // A new apply pass on this folder (extended-length form) begins its record.
    void Begin(const wchar_t *folder, const SYSTEMTIME &appliedAt);
    // Keeps one stamped item in the open record; where the budget is spent, the oldest records
    // go first. An item that still cannot be kept is counted as lost. False in that case.
    bool Add(const wchar_t *relative, size_t length, const ItemStamps &before,
             const ItemStamps &applied, uint32_t stamps);
    // A stamped item that cannot be recorded (its times could not be read).
    void CountLost();
    // The pass has ended: a record that holds nothing is not kept.
    void End();
    // The record of the pass that runs, null when none is open.
    const UndoRecord *Open() const;
    // The newest record of an ended pass, null when there is none.
    const UndoRecord *Newest() const;
    // A copy of what the newest record of an ended pass holds; false when there is none.
    bool NewestSummary(UndoSummary *summary) const;
    // The newest record is undone: it goes.
    void DropNewest();
    void Clear();
    size_t Records() const;
    size_t BytesReserved() const;
    void SetBudget(size_t bytes) { budget_ = bytes; }
    // Whether apply passes record at all; on unless a measurement turns it off.
    void SetRecording(bool on) { recording_ = on; }
    bool Recording() const;

  private:
    const UndoRecord *NewestLocked() const;
    size_t BytesReservedLocked() const;
    mutable CriticalSection lock_;
    std::vector<std::unique_ptr<UndoRecord>> records_;
    bool open_ = false; // the newest record belongs to the pass that runs
    std::atomic<bool> recording_{true};
    size_t budget_ = DefaultBudget;
};

// One undo pass: every item of the history's newest record that still carries the applied times
// gets its earlier times back; the others are counted as skipped. A complete pass removes the
// record, so the next undo takes the apply before.
void RunUndoPass(const JobDescription &job, JobEvents &events);
