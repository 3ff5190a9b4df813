#pragma once
// The folder walk: counts or stamps the items that the target and the options cover.
#include <windows.h>

#include "app/job_context.h"

DWORD WINAPI WalkThread(void *context);
void WalkFolder(JobContext *context);
