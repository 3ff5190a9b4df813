#include "common/test_support.h"
#include "ui/job_controller.h"

#include <atomic>
#include <vector>

#include "app/job_context.h"
#include "engine/stamp.h"
#include "engine/walk.h"

namespace testsupport {

std::wstring Native(const std::wstring &path) {
    const bool drivePath = path.size() > 2 && path[1] == L':' && path[2] == L'\\';
    return drivePath ? L"\\\\?\\" + path : path;
}

TempDir::TempDir() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    for (;;) {
        wchar_t name[MAX_PATH];
        wsprintfW(name, L"%svandrel-%lu-%ld", base, GetCurrentProcessId(),
                  InterlockedIncrement(&counter));
        if (CreateDirectoryW(name, nullptr)) {
            path_ = name;
            break;
        }
    }
}

TempDir::~TempDir() {
    RemoveTree(path_);
}

void RemoveTree(const std::wstring &path) {
    const DWORD attributes = GetFileAttributesW(Native(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesW(Native(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (!DeleteFileW(Native(path).c_str()))
            RemoveDirectoryW(Native(path).c_str());
        return;
    }
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(Native(path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..")
                RemoveTree(path + L"\\" + name);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(Native(path).c_str());
}

void MakeFolder(const std::wstring &path) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2 &&
        GetFileAttributesW(Native(path.substr(0, slash)).c_str()) == INVALID_FILE_ATTRIBUTES)
        MakeFolder(path.substr(0, slash));
    CreateDirectoryW(Native(path).c_str(), nullptr);
}

void WriteTextFile(const std::wstring &path, const std::string &content) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos)
        MakeFolder(path.substr(0, slash));
    HANDLE file = CreateFileW(Native(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

bool ReadTimes(const std::wstring &path, ItemTimes *times) {
    HANDLE item = CreateFileW(Native(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (item == INVALID_HANDLE_VALUE)
        return false;
    const BOOL ok = GetFileTime(item, &times->created, &times->accessed, &times->written);
    CloseHandle(item);
    return ok != FALSE;
}

bool WriteTimes(const std::wstring &path, const FILETIME *created, const FILETIME *accessed,
                const FILETIME *written) {
    HANDLE item = CreateFileW(Native(path).c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (item == INVALID_HANDLE_VALUE)
        return false;
    const BOOL ok = SetFileTime(item, created, accessed, written);
    CloseHandle(item);
    return ok != FALSE;
}

SYSTEMTIME MakeLocalTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    return time;
}

FILETIME MakeFileTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    const SYSTEMTIME time = MakeLocalTime(year, month, day, hour, minute, second);
    FILETIME result = {};
    SystemTimeToFileTime(&time, &result);
    return result;
}

FILETIME LocalToUtc(const SYSTEMTIME &local) {
    SYSTEMTIME universal = {};
    FILETIME utc = {};
    TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal);
    SystemTimeToFileTime(&universal, &utc);
    return utc;
}

SYSTEMTIME UtcToLocal(const FILETIME &utc) {
    SYSTEMTIME universal = {}, local = {};
    FileTimeToSystemTime(&utc, &universal);
    SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local);
    return local;
}

bool RunsInWarsawTime() {
    TIME_ZONE_INFORMATION zone = {};
    GetTimeZoneInformation(&zone);
    return zone.Bias == -60 && zone.DaylightBias == -60 && zone.DaylightDate.wMonth == 3 &&
           zone.StandardDate.wMonth == 10;
}

int64_t Ticks(const FILETIME &time) {
    return static_cast<int64_t>((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
}

FILETIME FromTicks(int64_t ticks) {
    const auto value = static_cast<uint64_t>(ticks);
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

bool SameTime(const FILETIME &a, const FILETIME &b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

namespace {

std::vector<std::wstring> refusedNames;
DWORD refusedCode = 0;

bool Refused(HANDLE item) {
    if (refusedNames.empty())
        return true;
    alignas(FILE_NAME_INFO) char buffer[sizeof(FILE_NAME_INFO) + 2 * PathCapacity];
    auto *info = reinterpret_cast<FILE_NAME_INFO *>(buffer);
    if (!GetFileInformationByHandleEx(item, FileNameInfo, info, sizeof buffer))
        return false;
    const std::wstring path(info->FileName, info->FileNameLength / sizeof(wchar_t));
    for (const std::wstring &name : refusedNames) {
        const std::wstring tail = L"\\" + name;
        if (path.size() >= tail.size() &&
            _wcsicmp(path.c_str() + path.size() - tail.size(), tail.c_str()) == 0)
            return true;
    }
    return false;
}

BOOL WINAPI RefusingSetFileTime(HANDLE item, const FILETIME *created, const FILETIME *accessed,
                                const FILETIME *written) {
    if (!Refused(item))
        return SetFileTime(item, created, accessed, written);
    SetLastError(refusedCode);
    return FALSE;
}

// A share that will not open a read-only item for its attributes, only for writing.
HANDLE WINAPI RefusingReadOnlyOpen(LPCWSTR path, DWORD access, DWORD share,
                                   LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                   HANDLE model) {
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(path, access, share, security, disposition, flags, model);
}

} // namespace

RefuseReadOnlyOpens::RefuseReadOnlyOpens() {
    stampCalls.createFile = RefusingReadOnlyOpen;
}

RefuseReadOnlyOpens::~RefuseReadOnlyOpens() {
    stampCalls.createFile = CreateFileW;
}

RefuseStamping::RefuseStamping(std::vector<std::wstring> names, DWORD code) {
    refusedNames = std::move(names);
    refusedCode = code;
    stampCalls.setFileTime = RefusingSetFileTime;
}

RefuseStamping::~RefuseStamping() {
    stampCalls.setFileTime = SetFileTime;
    refusedNames.clear();
}

bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return done();
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

namespace {
struct WindowQuery {
    const wchar_t *className;
    const wchar_t *title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto *query = reinterpret_cast<WindowQuery *>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window))
        return TRUE;
    wchar_t text[512];
    if (query->className) {
        GetClassNameW(window, text, 512);
        if (lstrcmpW(text, query->className) != 0)
            return TRUE;
    }
    if (query->title) {
        GetWindowTextW(window, text, 512);
        if (lstrcmpW(text, query->title) != 0)
            return TRUE;
    }
    query->found = window;
    return FALSE;
}
} // namespace

HWND WaitForWindow(const wchar_t *className, const wchar_t *title, DWORD timeoutMs) {
    WindowQuery query = {className, title, nullptr};
    PumpUntil(
        [&] {
            EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
            return query.found != nullptr;
        },
        timeoutMs);
    return query.found;
}

std::wstring BuildPath(const std::wstring &relative) {
    const char *unixPath = VANDREL_BUILD_DIR;
    std::wstring path = L"Z:";
    for (const char *c = unixPath; *c; ++c)
        path += (*c == '/') ? L'\\' : static_cast<wchar_t>(*c);
    return path + L"\\" + relative;
}

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> text(length + 1);
    GetWindowTextW(window, text.data(), length + 1);
    return text.data();
}

bool IsChineseUi() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE;
}

namespace {
std::wstring slowName;
DWORD slowDelayMs = 0;
std::atomic<bool> insideSlowItem{false};

void DelayAtSlowItem(const wchar_t *name) {
    if (slowName != name)
        return;
    insideSlowItem = true;
    Sleep(slowDelayMs);
    insideSlowItem = false;
}
} // namespace

SlowItem::SlowItem(const std::wstring &name, DWORD delayMs) {
    slowName = name;
    slowDelayMs = delayMs;
    beforeWalkItem = DelayAtSlowItem;
}

SlowItem::~SlowItem() {
    beforeWalkItem = nullptr;
    // A walk may still be in the delay: let it leave before the name goes.
    while (insideSlowItem)
        Sleep(10);
}

bool SlowItem::Inside() {
    return insideSlowItem;
}

bool IsEnglishUi() {
    const LANGID language = PRIMARYLANGID(GetUserDefaultUILanguage());
    return language != LANG_POLISH && language != LANG_CHINESE;
}

} // namespace testsupport
