#pragma once
// Writes the chosen time stamps into one file or folder.
#include <windows.h>

#include <cstdint>

#include "app/file_calls.h"
#include "app/handles.h"
#include "app/job_context.h"
#include "engine/job_api.h"
#include "engine/time_rule.h"
#include "engine/undo.h"

// The three arguments of SetFileTime for the chosen stamps: a switched-off creation or write
// time is left out (null), a switched-off last-access time is the keep-unchanged marker.
struct StampArguments {
    const FILETIME *created;
    const FILETIME *accessed;
    const FILETIME *written;
    // accessed is the item's own access time put back (reading its content moved it), not a
    // stamp the user asked for: undo leaves it alone.
    bool accessPutBack = false;
};
extern const FILETIME KeepUnchanged;
StampArguments ChooseStampArguments(bool useCreated, bool useModified, bool useAccessed,
                                    const FILETIME &created, const FILETIME &modified,
                                    const FILETIME &accessed);
// The arguments that write what a rule planned for an item (the plan must outlive them).
StampArguments PlanArguments(const RulePlan &plan);

// The chosen stamps as UTC file times. A walk keeps one and refreshes it before each item: a
// time is converted again only when it changed since.
class StampTimes {
  public:
    void Refresh(const JobDescription &job);
    StampArguments Arguments() const;
    // The stamps in use and their fixed times, for a rule.
    void Fill(RuleChoice *choice) const;

  private:
    struct Stamp {
        bool use = false;
        bool converted = false;
        uint32_t version = 0;
        FILETIME utc = {};
    };
    static void RefreshOne(Stamp *stamp, const SharedWord *use, const SharedTime *time);
    Stamp stamps_[StampKinds]; // in SetFileTime's order
};

// Stamps the item at path (extended-length form) whose attributes the walk found, without asking
// anything: the code of the step that failed, ERROR_SUCCESS when stamped. An apply records what
// it did into the open record of history (null: nothing is recorded).
DWORD TryStampItem(const wchar_t *path, DWORD attributes, const StampArguments &arguments,
                   bool applyToFolders, UndoHistory *history);
// The same on an item already open with the rights to read and change its times. known: the
// times it had before, where they are known already (else they are read from it).
DWORD StampOpenItem(HANDLE item, const wchar_t *path, DWORD attributes,
                    const StampArguments &arguments, UndoHistory *history,
                    const ItemStamps *known = nullptr);

// Joins folder and name behind one backslash into path (capacity characters). Returns the
// length of the whole path; the path is only usable when that is below capacity (the text in
// path is then complete, otherwise it is cut and must not be used on the file system).
size_t JoinItemPath(wchar_t *path, size_t capacity, const wchar_t *folder, const wchar_t *name);

// Opening flags for an item: backup semantics while folders are stamped, and links (any reparse
// point) are opened as the item itself.
DWORD StampOpenFlags(bool applyToFolders, DWORD attributes);

// Whether an item whose attribute-only open failed with this code is worth the writable route
// (clear the read-only bit, open for writing, put the bit back).
bool NeedsWritableRoute(DWORD openError, DWORD attributes);

// Whether an item may hold a date in its content: a folder holds no photo, and a link is taken
// as itself, as stamping takes it, never as the item it points to.
bool HoldsContentDate(DWORD attributes);

// An item opened for reading and changing its times, the way stamping opens it: attributes only
// and shared with everyone, or the writable route where the system insists on a read-only item.
// With readContent, its bytes can be read through it too. Whatever the open changed is put back
// when this goes.
class TimesHandle {
  public:
    // Invalid, with the code of the step that failed, when the item cannot be opened.
    TimesHandle(const wchar_t *path, DWORD attributes, DWORD flags, bool readContent = false);
    ~TimesHandle();
    TimesHandle(const TimesHandle &) = delete;
    TimesHandle &operator=(const TimesHandle &) = delete;
    HANDLE Get() const { return item_.Get(); }
    bool Valid() const { return item_.Valid(); }
    DWORD Error() const { return error_; }
    // Closes the item and puts the read-only bit back now.
    void Close();

  private:
    const wchar_t *path_;
    DWORD attributes_;
    UniqueHandle item_;
    bool cleared_ = false;
    DWORD error_ = ERROR_SUCCESS;
};
