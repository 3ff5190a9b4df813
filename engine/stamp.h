#pragma once
// Writes the chosen time stamps into one file or folder of the folder in pickedPath.
#include <windows.h>

#include "app/job_context.h"

// Returns false when the user chose to stop the job in the error prompt (jobPhase is then
// PhaseStopped).
bool StampItem(const wchar_t *name, JobContext *context);

// Reports an item that could not be stamped (or restored) through the error prompt; false when
// the user chose to stop the job (jobPhase is then PhaseStopped).
bool ReportStampFailure(const wchar_t *path, JobContext *context, DWORD code);

// Opens the item for changing its times, clearing a read-only bit for the moment, runs change on
// the handle and puts the attributes back. False, with the code of the step that failed, when the
// item could not be reached, opened or changed.
bool ChangeItemTimes(const wchar_t *path, DWORD openFlags, bool (*change)(HANDLE, void *),
                     void *context, DWORD *code);

// The three arguments of SetFileTime for the chosen stamps: a switched-off creation or write
// time is left out (null), a switched-off last-access time is the keep-unchanged marker.
struct StampArguments {
    const FILETIME *created;
    const FILETIME *accessed;
    const FILETIME *written;
};
extern const FILETIME KeepUnchanged;
StampArguments ChooseStampArguments(bool useCreated, bool useModified, bool useAccessed,
                                    const FILETIME &created, const FILETIME &modified,
                                    const FILETIME &accessed);

// Joins folder and name behind one backslash into path (capacity characters). Returns the
// length of the whole path; the path is only usable when that is below capacity (the text in
// path is then complete, otherwise it is cut and must not be used on the file system).
size_t JoinItemPath(wchar_t *path, size_t capacity, const wchar_t *folder, const wchar_t *name);

// Opening flags for an item: backup semantics while folders are stamped, and folder links are
// opened as the link itself.
DWORD StampOpenFlags(bool applyToFolders, DWORD attributes);
