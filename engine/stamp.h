#pragma once
// Writes the chosen time stamps into one file or folder.
#include <windows.h>

#include <cstdint>

#include "app/handles.h"
#include "app/job_context.h"
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
// picker time is converted again only when the picker changed since.
class StampTimes {
  public:
    void Refresh(JobContext *context);
    StampArguments Arguments() const;
    // The stamps in use and the pickers' times, for a rule.
    void Fill(RuleChoice *choice) const;

  private:
    struct Stamp {
        bool use = false;
        bool converted = false;
        uint32_t version = 0;
        FILETIME utc = {};
    };
    static void RefreshOne(Stamp *stamp, int32_t use, const SharedTime &time);
    Stamp created_, modified_, accessed_;
};

// The calls that open an item and read and change its times, replaceable so that a test can make
// one refuse (as a share may refuse to open a read-only item for its attributes) and a benchmark
// can count them.
struct StampCalls {
    BOOL(WINAPI *setFileTime)(HANDLE, const FILETIME *, const FILETIME *, const FILETIME *);
    BOOL(WINAPI *getFileTime)(HANDLE, FILETIME *, FILETIME *, FILETIME *);
    BOOL(WINAPI *setAttributes)(LPCWSTR, DWORD);
    HANDLE(WINAPI *createFile)
    (LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
};
extern StampCalls stampCalls;

// Stamps the item at path (extended-length form) whose attributes the walk found, without asking
// anything: the code of the step that failed, ERROR_SUCCESS when stamped.
DWORD TryStampItem(const wchar_t *path, DWORD attributes, const StampArguments &arguments,
                   JobContext *context);
// The same on an item already open with the rights to read and change its times. known: the
// times it had before, where they are known already (else they are read from it).
DWORD StampOpenItem(HANDLE item, const wchar_t *path, DWORD attributes,
                    const StampArguments &arguments, const ItemStamps *known = nullptr);
// Stamps the item at path (extended-length form) whose attributes the walk found. Returns false
// when the user chose to stop the job in the error prompt (jobPhase is then PhaseStopped).
bool StampItem(const wchar_t *path, DWORD attributes, const StampArguments &arguments,
               JobContext *context);

// Reports an item that cannot be stamped (the path is shown without its prefix); false when
// the user chose to stop the job.
bool ReportStampFailure(const wchar_t *path, JobContext *context, DWORD code);

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
