#pragma once
// The job controller: runs count and apply passes on their own threads.
#include <windows.h>

#include <atomic>

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
