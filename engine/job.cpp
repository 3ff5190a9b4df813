#include "engine/job.h"

#include <shlwapi.h>

#include "app/handles.h"
#include "app/job_context.h"
#include "app/text.h"
#include "engine/prompt.h"
#include "engine/walk.h"
#include "res/resource.h"
#include "ui/status.h"

namespace {

// A request word: the job number, with the top bit set for a stop request.
constexpr uintptr_t StopRequest = uintptr_t{1} << 31;
constexpr uint32_t JobNumberMask = 0x7FFFFFFF;
// How often a controller that waits for its turn closes the prompt of a cancelled walk.
constexpr DWORD TurnPollMs = 100;

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

void SetCountCaption(UINT id) {
    SetDlgItemTextW(Dialog(), IDC_COUNT, LoadText(id));
}

void EnableControl(int id, BOOL enable) {
    EnableWindow(GetDlgItem(Dialog(), id), enable);
}

void LockControls() {
    SendDlgItemMessageW(Dialog(), IDC_FILTER, EM_SETREADONLY, TRUE, 0);
    EnableControl(IDC_SUBFOLDERS, FALSE);
    EnableControl(IDC_COUNT, TRUE);
    EnableControl(IDC_APPLY_TO_FOLDERS, FALSE);
    EnableControl(IDOK, FALSE);
    EnableControl(IDC_APPLY, FALSE);
    ShowWindow(GetDlgItem(Dialog(), IDC_BROWSE), SW_HIDE);
    SetCountCaption(IDS_STOP);
}

void UnlockControls() {
    SendDlgItemMessageW(Dialog(), IDC_FILTER, EM_SETREADONLY, FALSE, 0);
    EnableControl(IDC_SUBFOLDERS, TRUE);
    EnableControl(IDC_COUNT, TRUE);
    EnableControl(IDC_APPLY_TO_FOLDERS, TRUE);
    EnableControl(IDOK, TRUE);
    EnableControl(IDC_APPLY, TRUE);
    ShowWindow(GetDlgItem(Dialog(), IDC_BROWSE), SW_SHOW);
    SetCountCaption(IDS_COUNT);
}

uint32_t ModeTotal() {
    return jobContext.includeSubfolders ? jobContext.deepTotal : jobContext.flatTotal;
}

// The apply pass reports its progress against the items it will hand to StampItem.
void SetModeTotal() {
    const ItemCounts &counts = jobContext.CurrentCounts();
    const uint32_t total = counts.files + (jobContext.applyToFolders ? counts.folders.load() : 0);
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

// Runs one walk for the job and waits for it, ticking the dialog's progress timer meanwhile.
void RunWalk(uint32_t job) {
    // A walk always starts from the target folder, whatever an ended walk left behind.
    CopyText(jobContext.pickedPath, PathCapacity, jobContext.folder);
    walkJob = job;
    UniqueHandle thread(CreateThread(nullptr, 0, WalkThread, &jobContext, 0, nullptr));
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

// The passes of one job: a count first when an apply finds its mode uncounted.
JobEnd RunPasses(uint32_t job) {
    bool applyAfterCount = false;
    for (bool firstPass = true;; firstPass = false) {
        // A stop that came between two passes (or before the first) ends the job here.
        if (StopRequestedFor(job) || (!firstPass && jobPhase == PhaseStopped)) {
            jobPhase = PhaseStopped;
            // A replaced job's walk may have left sub-folder names on pickedPath.
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
        const bool apply = jobContext.applyMode == 1;
        const int32_t passPhase = apply ? PhaseApplying : PhaseCounting;
        jobPhase = passPhase;
        if (apply)
            SetModeTotal();

        LockControls();
        TaskbarAtStart(apply);
        RunWalk(job);
        if (Replaced(job)) {
            // The newer job finds its counts complete or cleared, never half counted.
            if (!apply)
                jobContext.ClearCounts();
            return JobEnd::Replaced;
        }
        UnlockControls();
        TaskbarAtEnd(apply);

        int32_t phase = passPhase;
        if (StopRequestedFor(job) ||
            (!jobPhase.compare_exchange_strong(phase, PhaseDone) && phase == PhaseStopped)) {
            jobPhase = PhaseStopped;
            RepairAfterStop(!apply);
            jobContext.applyMode = 0;
            return JobEnd::Stopped;
        }
        jobContext.applyMode = applyAfterCount ? 1 : 0;
        if (!applyAfterCount)
            return JobEnd::Done;
    }
}

// Runs one job. Ends by reporting the controller's end, before it may close the dialog.
void RunJob(uint32_t job) {
    AcquireTurn();
    // A newer request that came before this one could start, or while it ran, takes over: the
    // newer job owns the phase, the mode and the controls from here on.
    JobEnd end = JobEnd::Replaced;
    if (!Replaced(job)) {
        processedFiles = 0;
        processedFolders = 0;
        end = RunPasses(job);
    }
    if (end == JobEnd::Replaced) {
        ReleaseTurn();
        ControllerEnded();
        return;
    }
    ShowStatus();
    FlashWindow(Dialog(), FALSE);
    jobPhase = PhaseIdle;
    const bool close = closeWhenDone == 1;
    ReleaseTurn();
    // The dialog may wait for the controllers while it closes: this one counts as ended.
    ControllerEnded();
    if (close)
        SendMessageW(Dialog(), WM_COMMAND, IDCANCEL, 0);
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

DWORD WINAPI JobThread(void *request) {
    const auto word = reinterpret_cast<uintptr_t>(request);
    if (word & StopRequest) {
        RunStop();
    } else {
        RunJob(static_cast<uint32_t>(word & JobNumberMask));
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
    StartController(job);
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
    stoppedJob = job;
    StartController(StopRequest | job);
    HANDLE ended = ControllerEndedEvent();
    while (ControllerRunning()) {
        // Controllers send messages to the dialog: answer them while waiting.
        if (MsgWaitForMultipleObjects(1, &ended, FALSE, INFINITE, QS_SENDMESSAGE) ==
            WAIT_OBJECT_0 + 1) {
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
}
