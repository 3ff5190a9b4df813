#pragma once
// The folder walk: counts, stamps or lists the items that the targets and the options cover.
#include <windows.h>

#include <cstdint>

#include "app/job_context.h"
#include "engine/job_api.h"

// One count, apply or preview pass over every target of the job, on the calling thread.
void RunWalk(const JobDescription &job, JobEvents &events, uint32_t total);

// The longest path the walk uses, in its extended-length form.
constexpr size_t MaxPathLength = PathCapacity - 1;
// Whether the walk enters a sub-folder (its attributes and the length of its full path in the
// extended-length form): only with sub-folders included, never a folder link, and only when
// "folder\*" still fits.
bool EntersFolder(bool includeSubfolders, DWORD attributes, size_t pathLength);
