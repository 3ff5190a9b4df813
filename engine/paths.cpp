#include "engine/paths.h"

#include <shlwapi.h>

namespace {

constexpr wchar_t ExtendedPrefix[] = L"\\\\?\\";
constexpr wchar_t ExtendedUncPrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const wchar_t *text, const wchar_t *prefix) {
    return StrCmpNW(text, prefix, lstrlenW(prefix)) == 0;
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
    if (joined.empty() || joined.back() != L'\\')
        joined += L'\\';
    return joined + name;
}

std::wstring FullTargetPath(const wchar_t *path) {
    const DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (needed == 0)
        return std::wstring();
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path, needed, &full[0], nullptr);
    if (length == 0 || length >= needed)
        return std::wstring();
    full.resize(length);
    full = ShownPath(full.c_str());
    // "C:\a\" names the folder C:\a; "C:\" and "\\server\share\" stay roots.
    while (full.size() > 1 && full.back() == L'\\' && !PathIsRootW(full.c_str()))
        full.pop_back();
    return full;
}
