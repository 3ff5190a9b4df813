// Target selection: a picked path becomes the job's folder and pattern, and the dialog shows it.
#include "ui/target.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "app/handles.h"
#include "app/job_context.h"
#include "app/text.h"
#include "ui/job_controller.h"
#include "engine/paths.h"
#include "ui/prompt.h"
#include "res/resource.h"
#include "ui/dpi.h"
#include "ui/main_dialog.h"
#include "ui/pickers.h"

namespace {

constexpr DWORD PathTooLong = ERROR_FILENAME_EXCED_RANGE; // 206

// The icon that control 1001 shows; the one it replaces is destroyed.
UniqueIcon targetIcon;

// The target opened for reading, and where the system allows, for putting its last-access time
// back.
UniqueHandle OpenForReading(const wchar_t *path, DWORD flags) {
    UniqueHandle item(CreateFileW(path, GENERIC_READ | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, flags, nullptr));
    if (!item && GetLastError() == ERROR_ACCESS_DENIED)
        item.Reset(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags,
                               nullptr));
    return item;
}

// The target's three times, read before anything else looks at it: its icon and its
// desktop.ini are looked up by listing it, which may move its last-access time.
struct TargetTimes {
    bool read = false;
    FILETIME created = {}, accessed = {}, written = {};
};

TargetTimes ReadTargetTimes(HANDLE item) {
    TargetTimes times;
    times.read = item && GetFileTime(item, &times.created, &times.accessed, &times.written);
    return times;
}

// What looking at the target moved goes back.
void PutBackAccessTime(HANDLE item, const TargetTimes &times) {
    FILETIME accessed;
    if (times.read && GetFileTime(item, nullptr, &accessed, nullptr) &&
        CompareFileTime(&accessed, &times.accessed) != 0)
        SetFileTime(item, nullptr, &times.accessed, nullptr);
}

void UseProgramFolder() {
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    CopyText(jobContext.pickedPath, PathCapacity, program);
    PathRemoveFileSpecW(jobContext.pickedPath);
}

// A picked path that cannot be opened. Returns true when the caller is to go on and show
// pickedPath (the program's own folder at start-up), false when the previous target stays.
bool RecoverFromUnopenablePath(const wchar_t *path, DWORD code, int atStartup) {
    const int mode = atStartup ? PromptCloseProgram : PromptNotice;
    if (FileErrorPrompt(mode, path, &jobContext, code) == 2)
        ExitProcess(0);
    if (atStartup) {
        UseProgramFolder();
        jobContext.pattern[0] = L'\0';
        return true;
    }
    // The previous target stays in force exactly as the dialog shows it: its folder and the
    // pattern that stands in the filter field.
    CopyText(jobContext.pickedPath, PathCapacity, jobContext.folder);
    return false;
}

// The folder's icon at the size of a large icon at the dialog's resolution.
void ShowFolderIcon(HWND dialog, const wchar_t *folder, UINT dpi) {
    HICON icon = ShellIconAtSize(folder, SystemMetricForDpi(SM_CXICON, dpi));
    SendDlgItemMessageW(dialog, IDC_TARGET_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    targetIcon.Reset(icon);
}

void ShowTargetIcon(HWND dialog) {
    ShowFolderIcon(dialog, jobContext.pickedPath, WindowDpi(dialog));
}

void ShowLocationOfRoot(HWND dialog, const wchar_t *root) {
    LPITEMIDLIST drives = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives)) || !drives) {
        SetDlgItemTextW(dialog, IDC_LOCATION, root);
        return;
    }
    SHFILEINFOW info = {};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(drives), 0, &info, sizeof info,
                   SHGFI_PIDL | SHGFI_DISPLAYNAME);
    CoTaskMemFree(drives);
    PathSetDlgItemPathW(dialog, IDC_LOCATION, info.szDisplayName);
}

// Icon, filter, name line and location of the target now in pickedPath and pattern.
void ShowTarget(HWND dialog) {
    SendDlgItemMessageW(dialog, IDC_FILTER, EM_SETREADONLY, FALSE, 0);
    ShowTargetIcon(dialog);
    SetDlgItemTextW(dialog, IDC_FILTER, jobContext.pattern);

    std::wstring copy = jobContext.pickedPath;
    PathSetDlgItemPathW(dialog, IDC_TARGET_NAME, PathFindFileNameW(copy.c_str()));
    if (PathRemoveFileSpecW(&copy[0]))
        PathSetDlgItemPathW(dialog, IDC_LOCATION, copy.c_str());
    else
        ShowLocationOfRoot(dialog, copy.c_str());
}

// pickedPath made full, once, before anything reads it ("Y:", ".", a relative name, forward
// slashes, a trailing backslash), every name kept as given. Answers 0 or the error to report.
DWORD MakePickedPathFull() {
    std::wstring full;
    const DWORD error = FullTargetPath(jobContext.pickedPath, &full);
    if (error != ERROR_SUCCESS)
        return error;
    return CopyText(jobContext.pickedPath, PathCapacity, full.c_str()) == S_OK ? ERROR_SUCCESS
                                                                               : PathTooLong;
}

// With the rules of that date, so a July time read in winter still shows its summer hour.
SYSTEMTIME ToLocalTime(const FILETIME &utc) {
    SYSTEMTIME universal = {}, local = {};
    FileTimeToSystemTime(&utc, &universal);
    SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local);
    return local;
}

} // namespace

int SetTarget(int isPlaceholder, int atStartup) {
    int result = isPlaceholder ? 0 : 1;
    UniqueHandle item;
    const DWORD unusable = MakePickedPathFull();
    const bool full = unusable == ERROR_SUCCESS;
    const std::wstring extended = ExtendedPath(jobContext.pickedPath);
    const DWORD attributes = full ? GetFileAttributesW(extended.c_str()) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        item = OpenForReading(extended.c_str(), FILE_FLAG_BACKUP_SEMANTICS);
        CopyText(jobContext.pattern, PatternCapacity, isPlaceholder ? L"" : L"*.*");
    } else {
        if (full)
            item = OpenForReading(extended.c_str(), 0);
        if (item) {
            CopyText(jobContext.pattern, PatternCapacity, PathFindFileNameW(jobContext.pickedPath));
            PathRemoveFileSpecW(jobContext.pickedPath);
        } else {
            const DWORD code = full ? GetLastError() : unusable;
            // The prompt looks at the item the open asked for: a name ending in a dot included.
            const wchar_t *asked = full ? extended.c_str() : jobContext.pickedPath;
            if (!RecoverFromUnopenablePath(asked, code, atStartup))
                return 0;
            result = 0;
        }
    }
    const TargetTimes times = ReadTargetTimes(item.Get());
    CopyText(jobContext.folder, PathCapacity, jobContext.pickedPath);
    ShowTarget(jobContext.dialog);
    PutBackAccessTime(item.Get(), times);
    if (times.read)
        ShowTargetTimes(times.created, times.accessed, times.written);
    return result;
}

int SetTargetPath(const wchar_t *path, int isPlaceholder, int atStartup) {
    if (lstrlenW(path) >= PathCapacity) {
        // Never cut a path and open whatever the shorter text names.
        if (!RecoverFromUnopenablePath(path, PathTooLong, atStartup))
            return 0;
        CopyText(jobContext.folder, PathCapacity, jobContext.pickedPath);
        ShowTarget(jobContext.dialog);
        return 0;
    }
    CopyText(jobContext.pickedPath, PathCapacity, path);
    return SetTarget(isPlaceholder, atStartup);
}

void ShowTargetTimes(const FILETIME &created, const FILETIME &accessed, const FILETIME &written) {
    jobContext.timeCreated.StoreLoaded(ToLocalTime(created), created);
    jobContext.timeAccessed.StoreLoaded(ToLocalTime(accessed), accessed);
    jobContext.timeModified.StoreLoaded(ToLocalTime(written), written);
    ShowPickerTimes(jobContext.dialog);
    // Every box is checked now, so every stamp is written: the flags say the same.
    jobContext.useCreated = 1;
    jobContext.useModified = 1;
    jobContext.useAccessed = 1;
    UpdateEnabling();
}

int BrowseForTarget() {
    const wchar_t *title = LoadText(IDS_BROWSE_TITLE);
    BROWSEINFOW browse = {};
    browse.hwndOwner = jobContext.dialog;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_BROWSEINCLUDEFILES;

    autoRecount = 0;
    LPITEMIDLIST picked = SHBrowseForFolderW(&browse);
    wchar_t path[MAX_PATH] = {};
    const bool converted = picked && SHGetPathFromIDListW(picked, path);
    CoTaskMemFree(picked);
    if (!converted) {
        autoRecount = 1;
        return 0;
    }
    // The walk reads the target while it runs: end it before the target changes.
    EndJobAndWait();
    SetTargetPath(path, 0, 0);
    autoRecount = 1;
    return 1;
}

void ShowTargetIconAt(HWND dialog, UINT dpi) {
    // folder, not pickedPath: a running walk uses pickedPath as its working path.
    if (jobContext.folder[0])
        ShowFolderIcon(dialog, jobContext.folder, dpi);
}

void ReleaseTargetIcon(HWND dialog) {
    SendDlgItemMessageW(dialog, IDC_TARGET_ICON, STM_SETICON, 0, 0);
    targetIcon.Reset();
}
