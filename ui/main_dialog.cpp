// The main dialog: set-up, the requests it makes of the job controller, button enabling, the
// filter's delayed recount, colours and clean-up.
#include "ui/main_dialog.h"

#include <commctrl.h>
#include <shlwapi.h>

#include "about/about_dialog.h"
#include "app/handles.h"
#include "app/text.h"
#include "dragdrop/drop_target.h"
#include "ui/job_controller.h"
#include "engine/preview.h"
#include "ui/prompt.h"
#include "engine/undo.h"
#include "res/resource.h"
#include "ui/dpi.h"
#include "ui/job_controls.h"
#include "ui/pickers.h"
#include "ui/preview_dialog.h"
#include "ui/rule_row.h"
#include "ui/status.h"
#include "ui/target.h"
#include "ui/undo_command.h"

SharedWord autoRecount{0};

namespace {

constexpr UINT_PTR ProgressTimer = 1;
constexpr UINT_PTR RecountTimer = 2;
constexpr UINT RecountDelayMs = 5000;
constexpr UINT PreviewReadyMessage = WM_APP + 10;

UINT taskbarCreatedMessage = 0;
// An edit of the filter that came while a request was on its way (before the controls were
// locked, or set from outside): the request keeps the pattern and mode it was made with, and the
// edit is taken when the job has ended.
bool filterEditWaiting = false;
WindowIcons mainIcons;

HWND Dialog() {
    return jobContext.dialog;
}

// --- Requests of the job controller ---

// A new request never changes what a running walk reads: the running job is ended first (at
// once when none runs).
void EndRunningJob() {
    EndJobAndWait();
}

// A job requested by this dialog whose end it has not yet handled: the filter's edits wait.
bool jobOnItsWay = false;

void StartJob() {
    jobOnItsWay = true;
    StartJobThread();
}

void RequestCount() {
    jobContext.applyMode = 0;
    StartJob();
}

void RequestApply() {
    KillTimer(Dialog(), RecountTimer);
    ReadPickersIntoJob(Dialog());
    jobContext.applyMode = 1;
    StartJob();
}

// The pickers a preview was made with.
PickerValues previewedPickers;

// A count that also lists what an apply would do; the list shows once it is complete.
void RequestPreview() {
    KillTimer(Dialog(), RecountTimer);
    ReadPickersIntoJob(Dialog());
    previewedPickers = SavePickers();
    jobContext.ClearCounts();
    jobContext.applyMode = PreviewMode;
    StartJob();
}

void RequestStop() {
    jobPhase = PhaseStopped;
    StartJobThread();
}

bool PassRunning() {
    const int32_t phase = jobPhase;
    return phase == PhaseCounting || phase == PhaseApplying;
}

void ReadPattern() {
    filterEditWaiting = false; // whatever the field holds is read now
    // A filter longer than the pattern holds (only text set from outside gets past the limit)
    // is never used cut: it leaves no pattern, so nothing is counted or stamped.
    if (GetWindowTextLengthW(GetDlgItem(Dialog(), IDC_FILTER)) >= PatternCapacity) {
        jobContext.pattern[0] = L'\0';
        return;
    }
    GetDlgItemTextW(Dialog(), IDC_FILTER, jobContext.pattern, PatternCapacity);
}

// --- Start-up ---

void RegisterTaskbarMessage() {
    taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarButtonCreated");
    if (!IsVistaOrLater())
        return;
    // Vista's entry point, looked up so that the program still starts on XP.
    UniqueLibrary user32(LoadLibraryW(L"USER32.DLL"));
    if (!user32)
        return;
    using ChangeFilter = BOOL(WINAPI *)(UINT, DWORD);
    const auto changeFilter = reinterpret_cast<ChangeFilter>(
        reinterpret_cast<void *>(GetProcAddress(user32.Get(), "ChangeWindowMessageFilter")));
    if (changeFilter)
        changeFilter(taskbarCreatedMessage, MSGFLT_ADD);
}

void OnTaskbarButtonCreated() {
    if (taskbarList)
        return;
    ITaskbarList3 *list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void **>(&list))) ||
        !list)
        return;
    if (FAILED(list->HrInit())) {
        list->Release();
        return;
    }
    taskbarList = list;
}

// The first target: the command-line path with one leading and one trailing quote removed, or
// the program's own folder as a placeholder. Returns SetTarget's answer.
int ChooseFirstTarget(const wchar_t *commandLine) {
    if (!commandLine || !commandLine[0]) {
        wchar_t program[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, program, MAX_PATH);
        CopyText(jobContext.pickedPath, PathCapacity, program);
        PathRemoveFileSpecW(jobContext.pickedPath);
        CopyText(jobContext.folder, PathCapacity, jobContext.pickedPath);
        return SetTarget(1, 1);
    }
    if (commandLine[0] == L'"')
        ++commandLine;
    const size_t length = lstrlenW(commandLine);
    wchar_t *path = static_cast<wchar_t *>(LocalAlloc(LMEM_FIXED, (length + 1) * sizeof(wchar_t)));
    if (!path)
        return 0;
    UniqueLocalMemory owner(path);
    CopyText(path, length + 1, commandLine);
    if (length > 0 && path[length - 1] == L'"')
        path[length - 1] = L'\0';
    return SetTargetPath(path, 0, 1);
}

void ShowFilterControls(HWND window) {
    for (int id : {IDC_FILTER_LABEL, IDC_FILTER, IDC_COUNT})
        ShowWindow(GetDlgItem(window, id), SW_SHOWNORMAL);
    for (int id : {IDC_ALL_OF_TYPE, IDC_ALL_IN_FOLDER})
        ShowWindow(GetDlgItem(window, id), SW_HIDE);
}

BOOL OnInitDialog(HWND window, const wchar_t *commandLine) {
    autoRecount = 0;
    RegisterDropTarget(window);

    jobContext.Reset();
    undoHistory.Clear();
    jobContext.dialog = window;
    jobContext.useCreated = 1;
    jobContext.useModified = 1;
    jobContext.useAccessed = 1;
    closeWhenDone = 0;
    jobOnItsWay = false;
    filterEditWaiting = false;

    mainIcons.Show(window, WindowDpi(window));

    SendDlgItemMessageW(window, IDC_FILTER, EM_LIMITTEXT, PatternCapacity - 1, 0);
    AddUndoEntry(window);
    const int countFirst = ChooseFirstTarget(commandLine);
    ShowFilterControls(window);
    SetPickerFormats(window);
    InitRuleRow(window);
    UpdateEnabling();
    if (countFirst == 1)
        RequestCount();
    autoRecount = 1;
    return FALSE;
}

// --- Commands ---

void OnOk() {
    EndRunningJob();
    closeWhenDone = 1;
    RequestApply();
}

void OnApply() {
    EndRunningJob();
    RequestApply();
}

void OnPreviewClicked() {
    EndRunningJob();
    RequestPreview();
}

void TakeWaitingFilterEdit();

// The preview pass has listed everything: the list shows, and its Apply applies exactly what it
// lists: the target, pattern, options and rule are as they were (the controls are locked while
// the list is made, and an edit of the filter waits until the list has closed), and the pickers
// go back to what the preview was made with.
void OnPreviewReady(HWND window) {
    const bool apply = ShowPreview(window) == IDC_PREVIEW_APPLY && !DialogPromptOpen();
    previewList.Clear();
    if (!apply) {
        TakeWaitingFilterEdit();
        return;
    }
    RestorePickers(window, previewedPickers);
    OnApply(); // an edit of the filter that still waits is taken when this apply has ended
}

void OnBrowseClicked() {
    if (BrowseForTarget() == 1 && UpdateEnabling() == 1) {
        jobContext.ClearCounts();
        RequestCount();
    }
}

void OnCountOrStopClicked() {
    KillTimer(Dialog(), RecountTimer);
    if (PassRunning()) {
        // The filter is locked while a pass runs: nothing of the target changes here.
        if (jobContext.applyMode == 0)
            jobContext.ClearCounts();
        RequestStop();
        return;
    }
    EndRunningJob();
    ReadPattern();
    if (jobContext.applyMode == 0)
        jobContext.ClearCounts();
    RequestCount();
}

void OnIncludeSubfoldersClicked() {
    EndRunningJob();
    jobContext.includeSubfolders =
        IsDlgButtonChecked(Dialog(), IDC_SUBFOLDERS) == BST_CHECKED ? 1 : 0;
    if (UpdateEnabling() != 1)
        return;
    const ItemCounts &counts = jobContext.CurrentCounts();
    if (counts.files != 0 || counts.folders != 0)
        ShowStatus();
    else
        RequestCount();
}

void OnApplyToFoldersClicked() {
    EndRunningJob();
    jobContext.applyToFolders =
        IsDlgButtonChecked(Dialog(), IDC_APPLY_TO_FOLDERS) == BST_CHECKED ? 1 : 0;
    if (UpdateEnabling() == 1)
        ShowStatus();
}

void TakeFilterEdit() {
    filterEditWaiting = false;
    jobContext.ClearCounts();
    ReadPattern();
    // A filter that covers nothing shows no counts of the one before (where there were any).
    if (UpdateEnabling() != 1 && GetWindowTextLengthW(GetDlgItem(Dialog(), IDC_STATUS)) > 0)
        ShowStatus();
    if (!jobContext.pattern[0]) {
        KillTimer(Dialog(), RecountTimer);
    } else if (autoRecount) {
        jobContext.applyMode = 0;
        KillTimer(Dialog(), RecountTimer);
        SetTimer(Dialog(), RecountTimer, RecountDelayMs, nullptr);
    }
}

void OnFilterEdited() {
    if (jobOnItsWay) {
        filterEditWaiting = true;
        return;
    }
    TakeFilterEdit();
}

// The end of the last job requested: an edit that waited for it is taken now.
void TakeWaitingFilterEdit() {
    jobOnItsWay = false;
    if (filterEditWaiting)
        TakeFilterEdit();
}

// Commands that start or change a job. None of them runs while a notice of this dialog is open:
// the notice is about to decide what the target is.
bool StartsRequest(int id) {
    switch (id) {
    case IDOK:
    case IDC_APPLY:
    case IDC_BROWSE:
    case IDC_COUNT:
    case IDC_SUBFOLDERS:
    case IDC_APPLY_TO_FOLDERS:
    case IDC_PREVIEW:
        return true;
    }
    return false;
}

void OnCommand(HWND window, WPARAM wParam) {
    if (HIWORD(wParam) == EN_UPDATE)
        OnFilterEdited();
    if (StartsRequest(LOWORD(wParam)) && DialogPromptOpen())
        return;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOk();
        break;
    case IDCANCEL:
        EndDialog(window, 0);
        break;
    case IDC_BROWSE:
        OnBrowseClicked();
        break;
    case IDC_COUNT:
        OnCountOrStopClicked();
        break;
    case IDC_SUBFOLDERS:
        OnIncludeSubfoldersClicked();
        break;
    case IDC_APPLY_TO_FOLDERS:
        OnApplyToFoldersClicked();
        break;
    case IDC_ABOUT:
        DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_ABOUT), window, AboutDialogProc, 0);
        break;
    case IDC_APPLY:
        OnApply();
        break;
    case IDC_PREVIEW:
        OnPreviewClicked();
        break;
    case IDC_RULE:
        if (HIWORD(wParam) == CBN_SELCHANGE)
            OnRuleChanged(window);
        break;
    }
}

// The system menu's undo entry: asks once, then undoes on the job threads like an apply pass.
void OnUndoCommand(HWND window) {
    if (!UndoAvailable() || DialogPromptOpen())
        return;
    if (!UndoFolderPresent() || !ConfirmUndo(window) || !UndoAvailable())
        return;
    KillTimer(window, RecountTimer);
    EndRunningJob();
    jobContext.applyMode = UndoMode;
    StartJob();
}

void OnTimer(HWND window, UINT_PTR id) {
    if (id == ProgressTimer) {
        ShowStatus();
    } else if (id == RecountTimer) {
        // The target may be about to change: count once the notice has closed.
        if (DialogPromptOpen())
            return;
        KillTimer(window, RecountTimer);
        EndRunningJob();
        RequestCount();
    }
}

// On a monitor of another scale Windows lays the template out anew; the icons are the
// program's own.
void OnDpiChanged(HWND window, UINT dpi, LPARAM suggested) {
    TakeSuggestedRect(window, suggested);
    mainIcons.Show(window, dpi);
    ShowTargetIconAt(window, dpi);
}

// --- Colours and clean-up ---

INT_PTR OnControlColourStatic(HDC context) {
    return reinterpret_cast<INT_PTR>(PrepareStaticColours(GetSysColor(COLOR_WINDOWTEXT), context,
                                                          GetSysColor(StaticBackgroundIndex())));
}

void OnDestroy(HWND window) {
    KillTimer(window, RecountTimer);
    // Let the job end before the objects it uses go away; its item under way is finished.
    EndRunningJob();
    mainIcons.Clear(window);
    ReleaseTargetIcon(window);
    if (ITaskbarList3 *list = taskbarList.exchange(nullptr))
        list->Release();
    RevokeDropTarget();
    PostQuitMessage(0);
}

} // namespace

int UpdateEnabling() {
    const HWND window = Dialog();
    const wchar_t *pattern = jobContext.pattern;
    const bool usable = jobContext.pickedPath[0] != L'\0' && pattern[0] != L'\0' &&
                        StrCmpW(pattern, L".") != 0 && StrCmpW(pattern, L"..") != 0;
    const bool anyStamp = jobContext.useCreated || jobContext.useModified || jobContext.useAccessed;
    EnableWindow(GetDlgItem(window, IDC_COUNT), usable);
    EnableWindow(GetDlgItem(window, IDOK), usable && anyStamp);
    EnableWindow(GetDlgItem(window, IDC_APPLY), usable && anyStamp);
    EnableWindow(GetDlgItem(window, IDC_PREVIEW), usable && anyStamp);
    return usable ? 1 : 0;
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (taskbarCreatedMessage == 0)
        RegisterTaskbarMessage();
    if (message == taskbarCreatedMessage) {
        OnTaskbarButtonCreated();
        return TRUE;
    }
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window, reinterpret_cast<const wchar_t *>(lParam));
    case WM_DESTROY:
        OnDestroy(window);
        return TRUE;
    case WM_NOTIFY: {
        const auto *notification = reinterpret_cast<const NMHDR *>(lParam);
        if (notification->code == DTN_DATETIMECHANGE)
            OnPickerChanged(window, notification);
        return FALSE;
    }
    case WM_COMMAND:
        OnCommand(window, wParam);
        return TRUE;
    case WM_TIMER:
        OnTimer(window, wParam);
        return TRUE;
    case JobControlsMessage:
        ShowJobControls(window, wParam != 0);
        UpdateUndoEntry(window);
        return TRUE;
    case JobEndedMessage:
        ShowJobEnd(window, wParam != 0);
        UpdateUndoEntry(window);
        // The list opens once the controller has gone on: it waits for this message's answer.
        if (previewReady.exchange(0))
            PostMessageW(window, PreviewReadyMessage, 0, 0);
        else
            TakeWaitingFilterEdit();
        return TRUE;
    case PreviewReadyMessage:
        OnPreviewReady(window);
        return TRUE;
    case JobCloseMessage:
        // An Apply made after OK's job ended owns the dialog now.
        if (IsNewestJob(wParam))
            EndDialog(window, 0);
        return TRUE;
    case WM_INITMENUPOPUP:
        if (HIWORD(lParam))
            UpdateUndoEntry(window);
        return FALSE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_UNDO)
            return FALSE;
        OnUndoCommand(window);
        return TRUE;
    case WM_DPICHANGED:
        OnDpiChanged(window, LOWORD(wParam), lParam);
        return TRUE;
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(StaticBackgroundIndex()));
    case WM_CTLCOLORSTATIC:
        return OnControlColourStatic(reinterpret_cast<HDC>(wParam));
    }
    return FALSE;
}
