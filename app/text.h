#pragma once
// Resource texts and the bounded routines that fill every fixed-size text buffer.
#include <windows.h>

#include <cstdarg>
#include <cstddef>
#include <string>

constexpr HRESULT TextCut = static_cast<HRESULT>(0x8007007A);         // insufficient buffer
constexpr HRESULT TextBadArgument = static_cast<HRESULT>(0x80070057); // invalid argument
constexpr size_t TextSlotCapacity = 256;
constexpr size_t MaxTextCapacity = 2147483647;

// Loads a string-table text into one of this thread's two slots. The text stays valid until
// this thread's second-next load; loads on other threads never touch it.
const wchar_t *LoadText(UINT id);

// A string-table text of the program in the given language of its resources, whatever the user's
// interface language; empty when that language has none. For reading what another language wrote.
std::wstring LoadTextIn(UINT id, LANGID language);
// The languages the program's resources are written in: Polish, Chinese and English.
extern const LANGID ResourceLanguages[3];

// Copies source into destination (capacity in characters, terminator included). Returns 0, or
// TextCut with the text cut to capacity - 1 and terminated, or TextBadArgument (nothing written)
// for a capacity of 0 or above MaxTextCapacity.
HRESULT CopyText(wchar_t *destination, size_t capacity, const wchar_t *source);
// The same, also reporting the number of characters that stand in destination afterwards.
HRESULT CopyText(wchar_t *destination, size_t capacity, const wchar_t *source, size_t *copied);

// printf-style formatting (%s wide text, %u, %d, %i) with the same results as CopyText.
HRESULT FormatText(wchar_t *destination, size_t capacity, const wchar_t *format, ...);
HRESULT FormatTextV(wchar_t *destination, size_t capacity, const wchar_t *format, va_list args);

// True on this Windows version or a later one.
bool IsWindowsAtLeast(DWORD major, DWORD minor);
// True on Windows 6.0 (Vista) and later.
bool IsVistaOrLater();
