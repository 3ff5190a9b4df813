#pragma once
// The dialog's job controller: turns the requests written into the job record into jobs of the
// engine, runs their passes on threads of their own, and turns what the passes report into the
// dialog's messages, prompts and progress.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "app/job_context.h"
#include "engine/job_api.h"
#include "engine/preview.h"
#include "engine/saved_times.h"
#include "engine/undo.h"

// The applyMode of an undo request: one pass that restores the newest record's items.
constexpr int32_t UndoMode = 2;

// What the dialog keeps for its jobs: the undo history of this run, the list of the last
// preview, the saved list the rule puts times back from. Changed on the job threads only while
// a pass runs, read by the dialog while none does (the history behind its own lock).
extern UndoHistory undoHistory;
extern PreviewList previewList;
extern SavedTimes savedTimes;
// What the last undo did, for the status line.
extern SharedCount undoRestored;
extern SharedCount undoSkipped;
extern SharedWord undoShown; // 1 from the end of an undo until the next job starts

// Runs one pass of the job the record describes (applyMode, the target in pickedPath and pattern,
// the options, the rule and the pickers) on the calling thread, as a controller runs it; a
// failed item shows the prompt. For tests and the benchmarks, which run a walk directly.
void WalkFolder(JobContext *context);
// Stamps the item at path (extended-length form) with the pickers' times as the dialog's pass
// would, the prompt included; false when the user chose to stop in it.
bool StampItem(const wchar_t *path, DWORD attributes, JobContext *context);
// Reports an item that cannot be stamped in the prompt; false when the user chose to stop.
bool ReportStampFailure(const wchar_t *path, JobContext *context, DWORD code);
// Called with each file's name just before the walk counts or stamps it; null normally. Tests set
// it to make one item slow, as a slow share would.
extern std::atomic<void (*)(const wchar_t *name)> beforeWalkItem;
// The thread the pass of the running job runs on, while it runs.
extern std::atomic<DWORD> walkThreadId;

// Thread entry of one controller; its parameter is the request word made by StartJobThread.
DWORD WINAPI JobThread(void *request);
// Starts a controller for the request that the caller has written into the job record: a stop
// when jobPhase is PhaseStopped, otherwise a job that replaces whatever runs.
void StartJobThread();
// Dialog thread only: ends a running job the way Stop does and returns once no controller is
// running any more, handling messages sent to this thread meanwhile. Returns at once when idle.
void EndJobAndWait();
// True while any controller thread is running.
bool ControllerRunning();
// Blocks until no controller is running, without handling any message: only for a caller that
// owns no window the controllers talk to (the benchmark runs the engine without a dialog).
void WaitUntilNoController();

// What the controller tells the dialog, which changes its own controls on its own thread (sent,
// so the controller goes on once the dialog has done it).
constexpr UINT JobControlsMessage = WM_APP + 1; // wParam TRUE: a job starts; FALSE: it has ended
// After the job: status line, then (wParam TRUE) the controls unlocked, then the flash.
constexpr UINT JobEndedMessage = WM_APP + 2;
// After OK's job (wParam: its number): the dialog closes if that job is still the newest.
constexpr UINT JobCloseMessage = WM_APP + 3;
// Dialog thread: whether job is the newest request, so its close still stands.
bool IsNewestJob(WPARAM job);
// Called on the controller thread just before it asks the dialog to close; null normally. Tests
// set it to make a request in that moment.
extern std::atomic<void (*)()> beforeCloseRequest;

// The dialog's timer that refreshes the status line while a pass runs.
constexpr UINT_PTR ProgressTimer = 1;
constexpr UINT ProgressPeriodMs = 300;
