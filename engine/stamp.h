#pragma once
// Writes the chosen time stamps into one file or folder of the folder in pickedPath.
#include "app/job_context.h"

// Returns false when the user chose to stop the job in the error prompt.
bool StampItem(const wchar_t *name, JobContext *context);
