#pragma once
// The engine's front door: a job described in full goes in, one pass of it runs on the calling
// thread, and what happens comes out through events. The dialog and the console program both
// use it; nothing of a pass lives anywhere but in what is handed in here.
#include <windows.h>

#include <string>
#include <vector>

#include "app/job_context.h"
#include "engine/time_rule.h"

class PreviewList;
class SavedTimes;
class UndoHistory;

enum class PassKind {
    Count,   // counts the items the job covers
    Apply,   // stamps them
    Preview, // counts and lists what an apply would do, changing nothing
    Undo,    // puts the items of the history's newest record back
};

// One place the job covers: a folder walked with a pattern, or one item (a file named by the
// pattern in its folder, and nothing below).
struct JobTarget {
    std::wstring folder; // a full path, with or without the extended-length prefix
    std::wstring pattern;
    bool single = false;
};

// Counters a pass adds to, owned by the front end (which may read them while the pass runs).
struct PassCounters {
    SharedCount *files = nullptr;   // files counted (count and preview passes)
    SharedCount *folders = nullptr; // folders counted
    SharedCount *processedFiles = nullptr;
    SharedCount *processedFolders = nullptr;
    SharedCount *changed = nullptr;  // items whose times the rule changed
    SharedCount *undated = nullptr;  // items a rule found no time for
    SharedCount *failed = nullptr;   // items reported to ItemFailed
    SharedCount *restored = nullptr; // undo: items put back
    SharedCount *skipped = nullptr;  // undo: items left as they were
};

struct JobDescription {
    PassKind kind = PassKind::Count;
    std::vector<JobTarget> targets;
    bool includeSubfolders = false;
    bool applyToFolders = false;
    // Each stamp's rule and shift, in SetFileTime's order (created, accessed, written), whether
    // it is written and the time it is set to: read again before each item, so that a value
    // changed while a pass runs (a picker) reaches the items after it.
    TimeRule rule[StampKinds] = {RuleSetDates, RuleSetDates, RuleSetDates};
    int64_t shift[StampKinds] = {};
    const SharedWord *use[StampKinds] = {};
    const SharedTime *time[StampKinds] = {};
    SavedTimes *list = nullptr;     // the saved list of RuleSavedList
    UndoHistory *history = nullptr; // an apply records into its open record; an undo takes it
    PreviewList *preview = nullptr; // a preview lists into it
    PassCounters counters;
};

// One item a pass handled: its path below its target, its times before, and what it got.
struct ItemReport {
    const wchar_t *relative;
    const wchar_t *path; // extended-length form
    bool folder;
    const FILETIME (&now)[StampKinds];
    const RulePlan &plan;
    DWORD result; // ERROR_SUCCESS, or the code reported to ItemFailed
};

class JobEvents {
  public:
    virtual ~JobEvents() = default;
    // Asked before every item: true ends the pass there (an item is never left half stamped).
    virtual bool Cancelled() = 0;
    // An item that cannot be opened or stamped (path in the extended-length form): true goes on
    // with the next item, false stops the pass.
    virtual bool ItemFailed(const wchar_t *path, DWORD code) = 0;
    // Just before a file's name is counted or stamped.
    virtual void BeforeItem(const wchar_t *name) { (void)name; }
    // An item counted, stamped, listed or put back: done of total.
    virtual void Progress(uint32_t done, uint32_t total) {
        (void)done;
        (void)total;
    }
    // An item of an apply or a preview with its plan, after it was stamped or listed.
    virtual void ItemDone(const ItemReport &item) { (void)item; }
};

// Runs one pass of the job on the calling thread; total is what progress counts against.
void RunPass(const JobDescription &job, JobEvents &events, uint32_t total = 0);
