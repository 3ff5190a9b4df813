#include "engine/job_api.h"

#include "engine/undo.h"
#include "engine/walk.h"

void RunPass(const JobDescription &job, JobEvents &events, uint32_t total) {
    if (job.kind == PassKind::Undo)
        RunUndoPass(job, events);
    else
        RunWalk(job, events, total);
}
