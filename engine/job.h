#pragma once
// The job controller: runs count and apply passes on their own threads.
#include <windows.h>

DWORD WINAPI JobThread(void *context);
// Starts a controller for the request that the caller has written into the job record.
void StartJobThread();
// Dialog thread only: ends a running job the way Stop does and returns once no controller is
// running any more, handling messages sent to this thread meanwhile. Returns at once when idle.
void EndJobAndWait();
