#include "engine/item_date.h"

#include "app/handles.h"
#include "engine/stamp.h"
#include "readers/date_taken.h"
#include "readers/name_date.h"

namespace {

constexpr int64_t TicksPerMinute = 60LL * 10000000;
// The years a SYSTEMTIME can hold.
constexpr int MinYear = 1601;
constexpr int MaxYear = 30827;
// Given as the last-access time, this tells the system not to update it for the rest of the
// handle's life.
const FILETIME NoAccessUpdates = {0xFFFFFFFF, 0xFFFFFFFF};

bool ToSystemTime(const CivilTime &t, SYSTEMTIME *system) {
    // Checked first: a field cast to WORD could otherwise wrap into a valid one.
    if (!IsValidCivilTime(t, MinYear, MaxYear))
        return false;
    *system = {};
    system->wYear = static_cast<WORD>(t.year);
    system->wMonth = static_cast<WORD>(t.month);
    system->wDay = static_cast<WORD>(t.day);
    system->wHour = static_cast<WORD>(t.hour);
    system->wMinute = static_cast<WORD>(t.minute);
    system->wSecond = static_cast<WORD>(t.second);
    return true; // the fraction is added to the FILETIME, which holds all of it
}

bool SameTime(const FILETIME &a, const FILETIME &b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

} // namespace

bool FileByteReader::Read(uint64_t offset, void *buffer, size_t size) {
    // Counted before reading: a read that fails half way has still cost its bytes.
    if (size > DateTakenReadBudget - used_)
        return false;
    used_ += size;
    if (offset > static_cast<uint64_t>(INT64_MAX))
        return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN))
        return false;
    DWORD read = 0;
    return ReadFile(file_, buffer, static_cast<DWORD>(size), &read, nullptr) && read == size;
}

uint64_t FileByteReader::Size() {
    LARGE_INTEGER size;
    return GetFileSizeEx(file_, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

bool CivilToFileTime(const CivilTime &time, bool hasOffset, int offsetMinutes, FILETIME *utc) {
    SYSTEMTIME civil;
    if (!ToSystemTime(time, &civil))
        return false;
    FILETIME whole;
    if (!hasOffset) {
        // With the rules of the date itself, not the offset in force today.
        SYSTEMTIME universal;
        if (!TzSpecificLocalTimeToSystemTime(nullptr, &civil, &universal) ||
            !SystemTimeToFileTime(&universal, &whole))
            return false;
    } else if (!SystemTimeToFileTime(&civil, &whole)) {
        return false;
    }
    LARGE_INTEGER ticks;
    ticks.LowPart = whole.dwLowDateTime;
    ticks.HighPart = static_cast<LONG>(whole.dwHighDateTime);
    if (hasOffset)
        ticks.QuadPart -= offsetMinutes * TicksPerMinute;
    ticks.QuadPart += time.fraction;
    if (ticks.QuadPart < 0)
        return false; // before 1601 in UTC
    utc->dwLowDateTime = ticks.LowPart;
    utc->dwHighDateTime = static_cast<DWORD>(ticks.HighPart);
    return true;
}

bool ReadDateTakenFrom(HANDLE file, FILETIME *utc) {
    FILETIME before = {};
    const bool known = GetFileTime(file, nullptr, &before, nullptr) != FALSE;
    SetFileTime(file, nullptr, &NoAccessUpdates, nullptr);

    FileByteReader reader(file);
    DateTaken taken;
    const bool read = ReadDateTaken(reader, &taken);

    // Some systems update the access time by rules of their own whatever the handle asked: put
    // back the time the file had.
    FILETIME after;
    if (known && GetFileTime(file, nullptr, &after, nullptr) && !SameTime(before, after))
        SetFileTime(file, nullptr, &before, nullptr);
    return read && CivilToFileTime(taken.time, taken.hasOffset, taken.offsetMinutes, utc);
}

DWORD ReadItemDateTaken(const wchar_t *path, DWORD attributes, FILETIME *utc, bool *found) {
    *found = false;
    if (!HoldsContentDate(attributes))
        return ERROR_SUCCESS;
    TimesHandle file(path, attributes, FILE_ATTRIBUTE_NORMAL, true);
    if (!file.Valid())
        return file.Error();
    *found = ReadDateTakenFrom(file.Get(), utc);
    return ERROR_SUCCESS;
}

bool NameDateOf(const wchar_t *name, FILETIME *utc) {
    CivilTime time;
    return ReadNameDate(name, &time) && CivilToFileTime(time, false, 0, utc);
}
