#pragma once
// Writing a file the user chose to replace: the old file stays whole until the new one is.
#include <windows.h>

#include <string>

// Writes bytes to path (a full path, any length): first to a new file beside it, which then
// replaces the old one in one step. Returns ERROR_SUCCESS, or the system's code of the step that
// failed, with the old file as it was and nothing left beside it.
DWORD WriteFileReplacing(const wchar_t *path, const std::string &bytes);
