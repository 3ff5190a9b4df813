#pragma once
// The folder walk: counts or stamps the items that the target and the options cover.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "app/job_context.h"

DWORD WINAPI WalkThread(void *context);
void WalkFolder(JobContext *context);

// Jobs are numbered by the controller. A walk ends early, unwinding through its own frames,
// once its job has been stopped or replaced by a newer one, or the phase says stop.
extern std::atomic<uint32_t> latestJob;  // the newest job requested
extern std::atomic<uint32_t> stoppedJob; // the last job a stop was requested for
extern std::atomic<uint32_t> walkJob;    // the job of the running walk; 0 for a walk run directly
extern std::atomic<DWORD> walkThreadId;  // the thread the walk runs on while it runs
bool WalkCancelled();
// Called with each file's name just before the walk counts or stamps it; null normally. Tests set
// it to make one item slow, as a slow share would.
extern std::atomic<void (*)(const wchar_t *name)> beforeWalkItem;

// The longest path the walk uses, in its extended-length form.
constexpr size_t MaxPathLength = PathCapacity - 1;
// Whether the walk enters a sub-folder (its attributes and the length of its full path in the
// extended-length form): only with sub-folders included, never a folder link, and only when
// "folder\*" still fits.
bool EntersFolder(bool includeSubfolders, DWORD attributes, size_t pathLength);
