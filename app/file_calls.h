#pragma once
// The system's calls that open items and read and change their times, as the program makes them.
#include <windows.h>

// The calls that open an item and read and change its times, replaceable so that a test can make
// one refuse (as a share may refuse to open a read-only item for its attributes) and a benchmark
// can count them.
struct StampCalls {
    BOOL(WINAPI *setFileTime)(HANDLE, const FILETIME *, const FILETIME *, const FILETIME *);
    BOOL(WINAPI *getFileTime)(HANDLE, FILETIME *, FILETIME *, FILETIME *);
    BOOL(WINAPI *setAttributes)(LPCWSTR, DWORD);
    HANDLE(WINAPI *createFile)
    (LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
};
extern StampCalls stampCalls;
