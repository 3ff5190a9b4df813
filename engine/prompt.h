#pragma once
// The one error dialog for items that cannot be opened or stamped.
#include <windows.h>

#include "app/job_context.h"

enum PromptMode : int {
    PromptNotice = 0,       // one OK button
    PromptCloseProgram = 1, // "continue" or "close the program"
    PromptStopJob = 2,      // "continue" or "stop the job"
};

// Returns 1 (continue / OK), 2 (the second choice) or 0 (nothing could be shown).
int FileErrorPrompt(int mode, const wchar_t *path, JobContext *context, DWORD code);
