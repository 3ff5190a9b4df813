#pragma once
// Paths as the user names them and as the file system is asked with them: every file-system
// call of the walk and of stamping goes through the extended-length form (\\?\C:\..., \\?\UNC\...),
// which takes up to 32,767 characters and keeps names that end in a space or a dot.
#include <windows.h>

#include <string>

// The extended-length form of a full path: "C:\a" gives "\\?\C:\a", "\\server\share" gives
// "\\?\UNC\server\share"; a path already in that form is kept.
std::wstring ExtendedPath(const wchar_t *path);
// What the user reads: the path without the extended-length prefix.
std::wstring ShownPath(const wchar_t *path);
// folder and name with exactly one backslash between them, also behind a root ("E:\",
// "\\?\E:\"), which already ends in one.
std::wstring JoinPath(const wchar_t *folder, const wchar_t *name);
// The full, tidy form of a target as the user means it ("Y:", ".", "..", a relative name,
// forward slashes, a trailing backslash), made with GetFullPathNameW and shown without the
// prefix; no trailing backslash except on a root. Empty when it cannot be made.
std::wstring FullTargetPath(const wchar_t *path);
