#pragma once
// The one shared job record and the globals that the dialog, controller and walk threads share.
// Every word that two threads touch is a 32-bit atomic: whole-word loads and stores, no tearing.
#include <windows.h>

#include <shobjidl.h>

#include <atomic>
#include <cstdint>

enum JobPhase : int32_t {
    PhaseIdle = 0,
    PhaseCounting = 3,
    PhaseApplying = 5,
    PhaseDone = 8,
    PhaseStopped = -1,
};

// The longest path the system takes (in its extended-length form) and the terminator.
constexpr int PathCapacity = 32768;
constexpr int PatternCapacity = 257; // 256 characters and the terminator

using SharedWord = std::atomic<int32_t>;
using SharedCount = std::atomic<uint32_t>;

struct ItemCounts {
    SharedCount files{0};
    SharedCount folders{0};
    void Clear() {
        files = 0;
        folders = 0;
    }
};

// A picker's time, written by the dialog thread while the walk thread may read it: the local
// time it shows and the moment that names, to the 100 ns (a local time alone is a round trip
// that keeps milliseconds only, and names two moments in the repeated autumn hour), and the
// moment loaded from the target, which a shift is counted from. A sequence word around the
// packed words, so a reader never sees half of an old and half of a new value.
class SharedTime {
  public:
    SYSTEMTIME Load() const;
    FILETIME Moment() const;
    // The moment loaded from the target; false when none was.
    bool Loaded(FILETIME *utc) const;
    void Store(const SYSTEMTIME &time, const FILETIME &moment); // one writer: the dialog thread
    // A local time alone names the moment its date's rules give it.
    void Store(const SYSTEMTIME &time);
    void StoreLoaded(const SYSTEMTIME &time, const FILETIME &moment);
    void Clear(); // all zero, nothing loaded
    // Changes with every store: a reader that kept a converted value knows when it is stale.
    uint32_t Version() const { return sequence_.load(); }

  private:
    // The value, its moment, the loaded moment, and whether one was loaded.
    static constexpr int Words = 4 + 2 + 2 + 1;
    void Read(uint32_t *words) const;
    void Write(const uint32_t *words);
    std::atomic<uint32_t> sequence_{0};
    std::atomic<uint32_t> words_[Words] = {};
};

// A signed 64-bit value in two words, written by the dialog thread only while no pass runs.
class SharedTicks {
  public:
    int64_t Load() const {
        return static_cast<int64_t>((uint64_t{high_.load()} << 32) | low_.load());
    }
    void Store(int64_t value) {
        low_ = static_cast<uint32_t>(value);
        high_ = static_cast<uint32_t>(static_cast<uint64_t>(value) >> 32);
    }

  private:
    std::atomic<uint32_t> low_{0}, high_{0};
};

struct JobContext {
    std::atomic<HWND> dialog{nullptr};
    SharedWord includeSubfolders{0};
    SharedWord applyToFolders{0};
    SharedWord applyMode{0};
    wchar_t folder[PathCapacity] = {};
    wchar_t pickedPath[PathCapacity] = {};
    wchar_t pattern[PatternCapacity] = {};
    SharedWord useCreated{0};
    SharedWord useModified{0};
    SharedWord useAccessed{0};
    SharedTime timeCreated;
    SharedTime timeModified;
    SharedTime timeAccessed;
    // The rule of the rule row (a TimeRule), and for a shift how far each picker was moved, in
    // 100 ns ticks, in SetFileTime's order: created, accessed, written.
    SharedWord timeRule{0};
    SharedTicks shift[3];
    ItemCounts deepCounts;
    ItemCounts flatCounts;
    SharedCount deepTotal{0};
    SharedCount flatTotal{0};

    // Every field back to zero (the dialog does this when it initialises).
    void Reset();
    // The counts of the mode that includeSubfolders selects.
    ItemCounts &CurrentCounts() { return includeSubfolders ? deepCounts : flatCounts; }
    void ClearCounts() {
        deepCounts.Clear();
        flatCounts.Clear();
    }
};

class CVandrel;

extern JobContext jobContext;
extern SharedWord jobPhase;
extern SharedCount processedFiles;
extern SharedCount processedFolders;
extern SharedCount progressCount;
// Items of an apply pass whose times the rule changed, and items it found no date for.
extern SharedCount changedItems;
extern SharedCount undatedItems;
// 1 from the end of an apply with a rule other than the fixed dates until the next job starts:
// the status line tells how many items changed.
extern SharedWord ruleResultShown;
// 1 once a preview pass has listed everything: the dialog shows the list.
extern SharedWord previewReady;
extern std::atomic<HANDLE> walkThread;
extern SharedWord closeWhenDone;
extern std::atomic<ITaskbarList3 *> taskbarList;
extern HINSTANCE appInstance;
extern CVandrel *dropTarget;
