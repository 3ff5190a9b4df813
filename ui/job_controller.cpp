#include "ui/job_controller.h"

#include <shlwapi.h>

#include "app/handles.h"
#include "app/job_context.h"
#include "app/text.h"
#include "engine/paths.h"
#include "engine/stamp.h"
#include "engine/time_rule.h"
#include "ui/prompt.h"

UndoHistory undoHistory;
PreviewList previewList;
SavedTimes savedTimes;
SharedCount undoRestored{0};
SharedCount undoSkipped{0};
SharedWord undoShown{0};
std::atomic<void (*)(const wchar_t *name)> beforeWalkItem{nullptr};
std::atomic<DWORD> walkThreadId{0};

namespace {

// Jobs are numbered by the controller. A walk ends early, between two items, once its job has
// been stopped or replaced by a newer one, or the phase says stop.
std::atomic<uint32_t> latestJob{0};  // the newest job requested
std::atomic<uint32_t> stoppedJob{0}; // the last job a stop was requested for
std::atomic<uint32_t> walkJob{0};    // the job of the running walk

// Whether the walk of this job (0: a walk run directly) is to end.
bool JobCancelled(uint32_t job) {
    if (jobPhase == PhaseStopped)
        return true;
    return job != 0 && (latestJob != job || stoppedJob == job);
}

// The prompt of a walk that was stopped or replaced closes, so its walk can end.
void CloseCancelledWalkPrompt() {
    const DWORD thread = walkThreadId;
    if (thread != 0 && JobCancelled(walkJob))
        ClosePromptsOf(thread);
}

// What a pass of the dialog's job reports: failed items in the prompt, progress on the taskbar.
class DialogEvents : public JobEvents {
  public:
    DialogEvents(uint32_t job, JobContext *context) : job_(job), context_(context) {}
    bool Cancelled() override { return JobCancelled(job_); }
    bool ItemFailed(const wchar_t *path, DWORD code) override {
        return ReportStampFailure(path, context_, code);
    }
    void BeforeItem(const wchar_t *name) override {
        if (const auto hook = beforeWalkItem.load())
            hook(name);
    }
    void Progress(uint32_t done, uint32_t total) override {
        progressCount = done;
        if (ITaskbarList3 *taskbar = taskbarList)
            taskbar->SetProgressValue(context_->dialog, done, total);
    }

  private:
    uint32_t job_;
    JobContext *context_;
};

PassKind KindOf(int32_t applyMode) {
    return applyMode == 1             ? PassKind::Apply
           : applyMode == UndoMode    ? PassKind::Undo
           : applyMode == PreviewMode ? PassKind::Preview
                                      : PassKind::Count;
}

// The job the record describes: its target in pickedPath and pattern, the options, the rule and
// the pickers (read again before each item), and what the dialog keeps for its jobs.
JobDescription DescribeJob(JobContext &context) {
    JobDescription job;
    job.kind = KindOf(context.applyMode);
    job.targets.push_back(JobTarget{context.pickedPath, context.pattern, false});
    job.includeSubfolders = context.includeSubfolders != 0;
    job.applyToFolders = context.applyToFolders != 0;
    const TimeRule rule = static_cast<TimeRule>(context.timeRule.load());
    for (int stamp = 0; stamp < StampKinds; ++stamp) {
        job.rule[stamp] = rule;
        job.shift[stamp] = context.shift[stamp].Load();
    }
    job.use[StampIndexCreated] = &context.useCreated;
    job.use[StampIndexAccessed] = &context.useAccessed;
    job.use[StampIndexWritten] = &context.useModified;
    job.time[StampIndexCreated] = &context.timeCreated;
    job.time[StampIndexAccessed] = &context.timeAccessed;
    job.time[StampIndexWritten] = &context.timeModified;
    job.list = &savedTimes;
    job.history = &undoHistory;
    job.preview = &previewList;
    ItemCounts &counts = context.CurrentCounts();
    job.counters.files = &counts.files;
    job.counters.folders = &counts.folders;
    job.counters.processedFiles = &processedFiles;
    job.counters.processedFolders = &processedFolders;
    job.counters.changed = &changedItems;
    job.counters.undated = &undatedItems;
    job.counters.restored = &undoRestored;
    job.counters.skipped = &undoSkipped;
    return job;
}

// One pass on its own thread: the job, what reports from it, and what progress counts against.
struct PassStart {
    JobDescription job;
    DialogEvents events;
    uint32_t total;
};

DWORD WINAPI PassThread(void *start) {
    auto *pass = static_cast<PassStart *>(start);
    walkThreadId = GetCurrentThreadId();
    RunPass(pass->job, pass->events, pass->total);
    walkThreadId = 0;
    return 0;
}

// A request word: the job number, with the top bit set for a stop request and the next one for
// a job that closes the dialog when it ends (OK).
constexpr uintptr_t StopRequest = uintptr_t{1} << 31;
constexpr uintptr_t CloseRequest = uintptr_t{1} << 30;
constexpr uint32_t JobNumberMask = 0x3FFFFFFF;

// The last job ended because the user asked for something new: it never closes the dialog.
std::atomic<uint32_t> supersededJob{0};
// How often a controller that waits for its turn closes the prompt of a cancelled walk.
constexpr DWORD TurnPollMs = 100;
// A window that never validates itself must not keep the wait from looking at the controllers.
constexpr int MaxPaintsPerWake = 32;

// Controllers run their jobs one after the other: the turn is an auto-reset event that is
// signalled while no controller holds it. Replacing a job means ending its walk first.
HANDLE TurnEvent() {
    static const HANDLE turn = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    return turn;
}

// Signalled each time a controller thread ends; the count says how many still run.
HANDLE ControllerEndedEvent() {
    static const HANDLE ended = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return ended;
}
std::atomic<int32_t> runningControllers{0};

void AcquireTurn() {
    // While an ended walk still waits in its error prompt, close that prompt.
    while (WaitForSingleObject(TurnEvent(), TurnPollMs) == WAIT_TIMEOUT)
        CloseCancelledWalkPrompt();
}

void ReleaseTurn() {
    SetEvent(TurnEvent());
}

void ControllerEnded() {
    --runningControllers;
    SetEvent(ControllerEndedEvent());
}

void StartController(uintptr_t request) {
    ++runningControllers;
    HANDLE thread =
        CreateThread(nullptr, 0, JobThread, reinterpret_cast<void *>(request), 0, nullptr);
    if (thread)
        CloseHandle(thread);
    else
        ControllerEnded();
}

HWND Dialog() {
    return jobContext.dialog;
}

// The dialog changes its own controls: the controller only tells it.
void TellDialog(UINT message, WPARAM wParam) {
    if (HWND dialog = Dialog())
        SendMessageW(dialog, message, wParam, 0);
}

uint32_t ModeTotal() {
    return jobContext.includeSubfolders ? jobContext.deepTotal : jobContext.flatTotal;
}

// The apply pass reports its progress against the items it will hand to StampItem.
// An undo pass reports it against the items of the record.
void SetModeTotal(bool undo) {
    const ItemCounts &counts = jobContext.CurrentCounts();
    const UndoRecord *record = undoHistory.Newest();
    const uint32_t total =
        undo ? (record ? record->Count() : 0)
             : counts.files + (jobContext.applyToFolders ? counts.folders.load() : 0);
    if (jobContext.includeSubfolders)
        jobContext.deepTotal = total;
    else
        jobContext.flatTotal = total;
}

void TaskbarAtStart(bool apply) {
    ITaskbarList3 *taskbar = taskbarList;
    if (apply)
        progressCount = 0;
    if (!taskbar)
        return;
    if (apply) {
        taskbar->SetProgressValue(Dialog(), 0, ModeTotal());
        taskbar->SetProgressState(Dialog(), TBPF_NORMAL);
    } else {
        taskbar->SetProgressState(Dialog(), TBPF_INDETERMINATE);
    }
}

void TaskbarAtEnd(bool apply) {
    ITaskbarList3 *taskbar = taskbarList;
    if (apply)
        progressCount = 0;
    if (!taskbar)
        return;
    if (apply)
        taskbar->SetProgressValue(Dialog(), ModeTotal(), ModeTotal());
    taskbar->SetProgressState(Dialog(), TBPF_NOPROGRESS);
}

// Runs one pass of the job and waits for it, ticking the dialog's progress timer meanwhile.
void RunWalk(uint32_t job) {
    // A walk always starts from the target folder, whatever an ended walk left behind.
    CopyText(jobContext.pickedPath, PathCapacity, jobContext.folder);
    walkJob = job;
    PassStart start = {DescribeJob(jobContext), DialogEvents(job, &jobContext), ModeTotal()};
    UniqueHandle thread(CreateThread(nullptr, 0, PassThread, &start, 0, nullptr));
    walkThread = thread.Get();
    if (thread) {
        while (WaitForSingleObject(thread.Get(), ProgressPeriodMs) == WAIT_TIMEOUT) {
            if (HWND dialog = Dialog())
                SendMessageW(dialog, WM_TIMER, ProgressTimer, 0);
        }
    }
    walkThread = nullptr;
    walkJob = 0;
}

// The stamps the pickers' check boxes choose, a bit per stamp in SetFileTime's order.
uint8_t StampsInUse() {
    return (jobContext.useCreated ? 1u << StampIndexCreated : 0u) |
           (jobContext.useAccessed ? 1u << StampIndexAccessed : 0u) |
           (jobContext.useModified ? 1u << StampIndexWritten : 0u);
}

// What a stop leaves to repair: partial counts and the sub-folder names on pickedPath.
void RepairAfterStop(bool countPass) {
    if (countPass)
        jobContext.ClearCounts();
    CopyText(jobContext.pickedPath, PathCapacity, jobContext.folder);
    if (!PathIsDirectoryW(jobContext.pickedPath))
        PathRemoveFileSpecW(jobContext.pickedPath);
}

bool StopRequestedFor(uint32_t job) {
    return stoppedJob == job;
}

bool Replaced(uint32_t job) {
    return latestJob != job;
}

enum class JobEnd { Done, Stopped, Replaced };

// What a stopped job leaves: nothing half counted, the target folder on pickedPath, the controls
// unlocked.
JobEnd EndStopped(bool countPass) {
    jobPhase = PhaseStopped;
    RepairAfterStop(countPass);
    jobContext.applyMode = 0;
    return JobEnd::Stopped;
}

// The passes of one job: a count first when an apply finds its mode uncounted. The controls
// stay locked from the first pass to the end of the last, so nothing changes between the two;
// locked tells whether they were locked at all.
JobEnd RunPasses(uint32_t job, bool *locked) {
    bool applyAfterCount = false;
    for (bool firstPass = true;; firstPass = false) {
        if (StopRequestedFor(job)) {
            if (!firstPass)
                return EndStopped(false); // the count before the apply was complete
            // Stopped before it began: a replaced job's walk may have left sub-folder names on
            // pickedPath.
            jobPhase = PhaseStopped;
            RepairAfterStop(false);
            jobContext.applyMode = 0;
            return JobEnd::Stopped;
        }
        if (Replaced(job))
            return JobEnd::Replaced;

        if (jobContext.applyMode == 1 && !applyAfterCount) {
            const ItemCounts &counts = jobContext.CurrentCounts();
            if (counts.files == 0 && counts.folders == 0) {
                jobContext.applyMode = 0;
                applyAfterCount = true;
            }
        } else {
            applyAfterCount = false;
        }
        // An undo is one pass that stamps like an apply pass, from the record. A preview is a
        // count that also lists what an apply would do.
        const bool undo = jobContext.applyMode == UndoMode;
        const bool preview = jobContext.applyMode == PreviewMode;
        const bool apply = jobContext.applyMode == 1 || undo;
        const int32_t passPhase = apply ? PhaseApplying : PhaseCounting;
        jobPhase = passPhase;
        if (apply)
            SetModeTotal(undo);
        if (undo) {
            undoRestored = 0;
            undoSkipped = 0;
        } else if (apply) {
            // Each apply pass adds its own record to the history.
            SYSTEMTIME now;
            GetLocalTime(&now);
            undoHistory.Begin(ExtendedPath(jobContext.folder).c_str(), now);
        } else if (preview) {
            previewList.Begin(StampsInUse(), static_cast<TimeRule>(jobContext.timeRule.load()));
        }

        if (firstPass)
            TellDialog(JobControlsMessage, TRUE);
        *locked = true;
        TaskbarAtStart(apply);
        RunWalk(job);
        // Whatever the pass stamped stays undoable, also when it was stopped or replaced.
        if (apply && !undo)
            undoHistory.End();
        if (Replaced(job)) {
            // The newer job finds its counts complete or cleared, never half counted.
            if (!apply)
                jobContext.ClearCounts();
            return JobEnd::Replaced;
        }
        TaskbarAtEnd(apply);
        // The status line tells what the undo did, also when it was stopped.
        if (undo)
            undoShown = 1;

        if (StopRequestedFor(job) || jobPhase == PhaseStopped)
            return EndStopped(!apply);
        if (applyAfterCount) {
            // The apply pass follows at once, still in a running phase, so a Stop pressed in
            // between is a stop of this job.
            jobContext.applyMode = 1;
            continue;
        }
        int32_t phase = passPhase;
        if (!jobPhase.compare_exchange_strong(phase, PhaseDone) && phase == PhaseStopped)
            return EndStopped(!apply);
        if (preview)
            previewReady = 1;
        else if (apply && !undo && RuleIsPerItem(jobContext.timeRule))
            ruleResultShown = 1;
        jobContext.applyMode = 0;
        return JobEnd::Done;
    }
}

// Runs one job. Ends by reporting the controller's end, before it may close the dialog.
void RunJob(uint32_t job, bool closeWhenEnded) {
    AcquireTurn();
    // A newer request that came before this one could start, or while it ran, takes over: the
    // newer job owns the phase, the mode and the controls from here on.
    JobEnd end = JobEnd::Replaced;
    bool locked = false;
    if (!Replaced(job)) {
        processedFiles = 0;
        processedFolders = 0;
        changedItems = 0;
        undatedItems = 0;
        undoShown = 0;
        ruleResultShown = 0;
        previewReady = 0;
        end = RunPasses(job, &locked);
    }
    if (end == JobEnd::Replaced) {
        ReleaseTurn();
        ControllerEnded();
        return;
    }
    // The final status line is written before the controls say the job is over.
    TellDialog(JobEndedMessage, locked);
    jobPhase = PhaseIdle;
    // Only OK's own job closes the dialog, and not when a newer request ended it.
    const bool close = closeWhenEnded && supersededJob != job;
    ReleaseTurn();
    // The dialog may wait for the controllers while it closes: this one counts as ended.
    ControllerEnded();
    if (!close)
        return;
    if (const auto hook = beforeCloseRequest.load())
        hook();
    // The dialog closes only if no newer request came meanwhile.
    SendMessageW(Dialog(), JobCloseMessage, job, 0);
}

void RunStop() {
    // The stopped job ends its walk by itself; waiting for the turn closes its prompt.
    AcquireTurn();
    // A stop that came after its job had ended leaves no controller to clear the phase.
    int32_t phase = PhaseStopped;
    jobPhase.compare_exchange_strong(phase, PhaseIdle);
    ReleaseTurn();
    ControllerEnded();
}

} // namespace

std::atomic<void (*)()> beforeCloseRequest{nullptr};

bool ReportStampFailure(const wchar_t *path, JobContext *context, DWORD code) {
    if (FileErrorPrompt(PromptStopJob, path, context, code) != IDCANCEL)
        return true;
    jobPhase = PhaseStopped;
    return false;
}

void WalkFolder(JobContext *context) {
    DialogEvents events(0, context);
    RunPass(DescribeJob(*context), events,
            context->includeSubfolders ? context->deepTotal : context->flatTotal);
}

bool StampItem(const wchar_t *path, DWORD attributes, JobContext *context) {
    JobDescription job = DescribeJob(*context);
    job.kind = PassKind::Apply;
    StampTimes times;
    times.Refresh(job);
    const DWORD code = TryStampItem(path, attributes, times.Arguments(),
                                    context->applyToFolders != 0, &undoHistory);
    return code == ERROR_SUCCESS || ReportStampFailure(path, context, code);
}

bool IsNewestJob(WPARAM job) {
    return latestJob == static_cast<uint32_t>(job);
}

DWORD WINAPI JobThread(void *request) {
    const auto word = reinterpret_cast<uintptr_t>(request);
    if (word & StopRequest) {
        RunStop();
    } else {
        RunJob(static_cast<uint32_t>(word & JobNumberMask), (word & CloseRequest) != 0);
        // RunJob reports its own end (before it may close the dialog).
    }
    return 0;
}

void StartJobThread() {
    if (jobPhase == PhaseStopped) {
        const uint32_t job = latestJob;
        stoppedJob = job;
        StartController(StopRequest | job);
        return;
    }
    uint32_t job = (latestJob + 1) & JobNumberMask;
    if (job == 0)
        job = 1;
    latestJob = job;
    // OK's wish to close belongs to the job it starts, and to no later one.
    const bool close = closeWhenDone.exchange(0) == 1;
    StartController(job | (close ? CloseRequest : 0));
}

bool ControllerRunning() {
    return runningControllers > 0;
}

void WaitUntilNoController() {
    while (ControllerRunning())
        WaitForSingleObject(ControllerEndedEvent(), INFINITE);
}

void EndJobAndWait() {
    if (!ControllerRunning())
        return;
    if (jobPhase & 1)
        jobPhase = PhaseStopped;
    const uint32_t job = latestJob;
    supersededJob = job;
    stoppedJob = job;
    StartController(StopRequest | job);
    HANDLE ended = ControllerEndedEvent();
    while (ControllerRunning()) {
        // Controllers send messages to the dialog: answer them while waiting, and keep the
        // windows painted, but start nothing else (no input, no timers).
        if (MsgWaitForMultipleObjects(1, &ended, FALSE, INFINITE, QS_SENDMESSAGE | QS_PAINT) !=
            WAIT_OBJECT_0 + 1)
            continue;
        MSG message;
        for (int painted = 0; painted < MaxPaintsPerWake &&
                              PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE);
             ++painted)
            DispatchMessageW(&message);
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
