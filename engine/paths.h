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
// "\\?\E:\"), which already ends in one; an empty name is the folder itself.
std::wstring JoinPath(const wchar_t *folder, const wchar_t *name);
// True when the last element of path is a device name (aux, con, nul, prn, com1-com9, lpt1-lpt9,
// in any case, with or without an extension), which the system opens as that device.
bool NamesDevice(const wchar_t *path);
// The full form of a target as the user means it ("Y:", ".", "..", a relative name, forward
// slashes, a trailing backslash), shown without the prefix; no trailing backslash except on a
// root. Every name keeps the trailing dots and spaces it was given, so "C:\a." is the item "a.",
// not "a"; "." and ".." as a whole element are the folder itself and its parent. A path in the
// extended-length form is taken exactly as given. Answers 0, ERROR_INVALID_NAME for a device
// name (outside the extended-length form), or ERROR_FILENAME_EXCED_RANGE when the full form
// cannot be made.
DWORD FullTargetPath(const wchar_t *path, std::wstring *full);
// The folder that holds the item at path (a root keeps its backslash); empty when there is none.
std::wstring ParentPath(const std::wstring &path);
