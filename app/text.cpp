#include "app/text.h"

#include "app/job_context.h"

#include <cstdio>

namespace {

// Each thread has its own pair, so a status text loaded on the dialog thread never overwrites
// a text that the walk thread is still showing in a prompt.
thread_local wchar_t textSlot[2][TextSlotCapacity];
thread_local int textSlotToggle = 0;

} // namespace

const wchar_t *LoadText(UINT id) {
    wchar_t *slot = textSlot[textSlotToggle];
    slot[0] = L'\0';
    LoadStringW(appInstance, id, slot, static_cast<int>(TextSlotCapacity));
    textSlotToggle ^= 1;
    return slot;
}

HRESULT CopyText(wchar_t *destination, size_t capacity, const wchar_t *source, size_t *copied) {
    if (copied)
        *copied = 0;
    if (capacity == 0 || capacity > MaxTextCapacity)
        return TextBadArgument;
    size_t length = 0;
    while (length + 1 < capacity && source[length] != L'\0') {
        destination[length] = source[length];
        ++length;
    }
    destination[length] = L'\0';
    if (copied)
        *copied = length;
    return source[length] == L'\0' ? S_OK : TextCut;
}

HRESULT CopyText(wchar_t *destination, size_t capacity, const wchar_t *source) {
    return CopyText(destination, capacity, source, nullptr);
}

HRESULT FormatTextV(wchar_t *destination, size_t capacity, const wchar_t *format, va_list args) {
    if (capacity == 0 || capacity > MaxTextCapacity)
        return TextBadArgument;
    // The runtime's own formatter: %s takes a wide text in the wide functions. It reports -1 when
    // the output does not fit, and writes no terminator when the output fills the count exactly.
    const size_t limit = capacity - 1;
    const int written = _vsnwprintf(destination, limit, format, args);
    if (written < 0 || static_cast<size_t>(written) > limit) {
        destination[limit] = L'\0';
        return TextCut;
    }
    destination[written] = L'\0';
    return S_OK;
}

HRESULT FormatText(wchar_t *destination, size_t capacity, const wchar_t *format, ...) {
    va_list args;
    va_start(args, format);
    const HRESULT result = FormatTextV(destination, capacity, format, args);
    va_end(args);
    return result;
}

bool IsWindowsAtLeast(DWORD major, DWORD minor) {
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    version.dwMajorVersion = major;
    version.dwMinorVersion = minor;
    ULONGLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION, mask) != FALSE;
}

bool IsVistaOrLater() {
    return IsWindowsAtLeast(6, 0);
}

const LANGID ResourceLanguages[3] = {MAKELANGID(LANG_POLISH, SUBLANG_POLISH_POLAND),
                                     MAKELANGID(LANG_CHINESE, SUBLANG_NEUTRAL),
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)};

std::wstring LoadTextIn(UINT id, LANGID language) {
    // A string table is kept in blocks of 16 counted texts; block n holds ids 16 (n - 1) on.
    HRSRC found = FindResourceExW(appInstance, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    HGLOBAL loaded = found ? LoadResource(appInstance, found) : nullptr;
    const auto *text = loaded ? static_cast<const wchar_t *>(LockResource(loaded)) : nullptr;
    if (!text)
        return std::wstring();
    const DWORD size = SizeofResource(appInstance, found) / sizeof(wchar_t);
    const wchar_t *end = text + size;
    for (UINT index = 0; index < id % 16 && text < end; ++index)
        text += 1 + *text;
    if (text >= end || text + 1 + *text > end)
        return std::wstring();
    return std::wstring(text + 1, *text);
}
