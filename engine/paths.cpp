#include "engine/paths.h"

#include <shlwapi.h>

#include <algorithm>

namespace {

constexpr wchar_t ExtendedPrefix[] = L"\\\\?\\";
constexpr wchar_t ExtendedUncPrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const wchar_t *text, const wchar_t *prefix) {
    return StrCmpNW(text, prefix, lstrlenW(prefix)) == 0;
}

// GetFullPathNameW of a root or of a current folder ("C:", "\", "."), which has no name of its
// own to lose; empty when it fails.
std::wstring SystemFullPath(const wchar_t *path) {
    const DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (needed == 0)
        return std::wstring();
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path, needed, &full[0], nullptr);
    if (length == 0 || length >= needed)
        return std::wstring();
    full.resize(length);
    return ShownPath(full.c_str());
}

// Length of the root of a full path: "C:\" or "\\server\share".
size_t RootLength(const std::wstring &full) {
    if (full.size() >= 2 && full[1] == L':')
        return full.size() >= 3 && full[2] == L'\\' ? 3 : 2;
    if (full.compare(0, 2, L"\\\\") != 0)
        return 0;
    const size_t server = full.find(L'\\', 2);
    if (server == std::wstring::npos)
        return full.size();
    const size_t share = full.find(L'\\', server + 1);
    return share == std::wstring::npos ? full.size() : share;
}

// The full folder that the first elements of a path (with backslashes only) start from, and
// where the rest begins.
std::wstring StartFolder(const std::wstring &path, size_t *rest) {
    if (path.compare(0, 2, L"\\\\") == 0) {
        *rest = RootLength(path);
        return path.substr(0, *rest);
    }
    if (path.size() >= 2 && path[1] == L':') {
        if (path.size() >= 3 && path[2] == L'\\') {
            *rest = 3;
            return path.substr(0, 3);
        }
        *rest = 2; // that drive's current folder
        return SystemFullPath(path.substr(0, 2).c_str());
    }
    if (!path.empty() && path[0] == L'\\') {
        *rest = 1; // the root of the current drive
        return SystemFullPath(L"\\");
    }
    *rest = 0;
    return SystemFullPath(L".");
}

// Makes the path full element by element, so that no name loses a trailing dot or space.
std::wstring ResolveElements(std::wstring path) {
    for (wchar_t &c : path)
        if (c == L'/')
            c = L'\\';
    size_t rest = 0;
    std::wstring full = StartFolder(path, &rest);
    const size_t root = RootLength(full);
    if (full.empty() || root == 0)
        return std::wstring();
    while (full.size() > root && full.back() == L'\\')
        full.pop_back();
    while (rest < path.size()) {
        size_t end = path.find(L'\\', rest);
        if (end == std::wstring::npos)
            end = path.size();
        const std::wstring element = path.substr(rest, end - rest);
        rest = end + 1;
        if (element.empty() || element == L".")
            continue;
        if (element == L"..") {
            const size_t last = full.find_last_of(L'\\');
            full.resize(last == std::wstring::npos || last < root ? root : last);
            continue;
        }
        full = JoinPath(full.c_str(), element.c_str());
    }
    // A share's root is named with its backslash, as the system names it.
    if (full.size() == root && full[0] == L'\\')
        full += L'\\';
    return full;
}

bool IsDeviceStem(const std::wstring &stem) {
    static const wchar_t *const plain[] = {L"aux", L"con", L"nul", L"prn"};
    for (const wchar_t *name : plain)
        if (lstrcmpiW(stem.c_str(), name) == 0)
            return true;
    return stem.size() == 4 && stem[3] >= L'1' && stem[3] <= L'9' &&
           (StrCmpNIW(stem.c_str(), L"com", 3) == 0 || StrCmpNIW(stem.c_str(), L"lpt", 3) == 0);
}

} // namespace

std::wstring ExtendedPath(const wchar_t *path) {
    if (StartsWith(path, ExtendedPrefix))
        return path;
    if (path[0] == L'\\' && path[1] == L'\\')
        return std::wstring(ExtendedUncPrefix) + (path + 2);
    return std::wstring(ExtendedPrefix) + path;
}

std::wstring ShownPath(const wchar_t *path) {
    if (StartsWith(path, ExtendedUncPrefix))
        return std::wstring(L"\\\\") + (path + lstrlenW(ExtendedUncPrefix));
    if (StartsWith(path, ExtendedPrefix))
        return path + lstrlenW(ExtendedPrefix);
    return path;
}

std::wstring JoinPath(const wchar_t *folder, const wchar_t *name) {
    std::wstring joined = folder;
    if (!name[0])
        return joined; // the folder itself
    if (joined.empty() || joined.back() != L'\\')
        joined += L'\\';
    return joined + name;
}

bool NamesDevice(const wchar_t *path) {
    std::wstring name = path;
    const size_t separator = name.find_last_of(L"\\/:");
    if (separator != std::wstring::npos)
        name.erase(0, separator + 1);
    // "aux.txt" and "aux " are the device too.
    name.erase(std::min(name.find(L'.'), name.size()));
    while (!name.empty() && name.back() == L' ')
        name.pop_back();
    return IsDeviceStem(name);
}

DWORD FullTargetPath(const wchar_t *path, std::wstring *full) {
    if (StartsWith(path, ExtendedPrefix)) {
        *full = ShownPath(path);
        while (full->size() > 1 && full->back() == L'\\' && !PathIsRootW(full->c_str()))
            full->pop_back();
        return full->empty() ? ERROR_FILENAME_EXCED_RANGE : ERROR_SUCCESS;
    }
    if (!path[0])
        return ERROR_FILENAME_EXCED_RANGE;
    *full = ResolveElements(path);
    if (full->empty())
        return ERROR_FILENAME_EXCED_RANGE;
    return NamesDevice(full->c_str()) ? ERROR_INVALID_NAME : ERROR_SUCCESS;
}

std::wstring ParentPath(const std::wstring &path) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash == 0)
        return std::wstring();
    // "C:\\a" lives in "C:\\", which keeps its backslash; a root has no parent.
    const size_t length = path[slash - 1] == L':' ? slash + 1 : slash;
    return length < path.size() ? path.substr(0, length) : std::wstring();
}
