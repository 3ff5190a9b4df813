#include "engine/item_date.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/handles.h"
#include "engine/paths.h"
#include "engine/stamp.h"
#include "readers/date_taken.h"
#include "readers/export_json.h"
#include "readers/export_names.h"
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

bool FileByteReader::ReadFileAt(uint64_t offset, void *buffer, size_t size, DWORD *read) {
    if (offset > static_cast<uint64_t>(INT64_MAX) || size > MAXDWORD)
        return false;
    // A read at an offset: one call, no seek before it.
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    ++fileReads_;
    *read = 0;
    return ReadFile(file_, buffer, static_cast<DWORD>(size), read, &at) ||
           GetLastError() == ERROR_HANDLE_EOF;
}

bool FileByteReader::Read(uint64_t offset, void *buffer, size_t size) {
    // Counted before reading: a read that fails half way has still cost its bytes.
    if (size > budget_ - used_)
        return false;
    used_ += size;
    if (blockSize_ == 0 || offset < blockOffset_ || offset - blockOffset_ > blockSize_ ||
        size > blockSize_ - (offset - blockOffset_)) {
        DWORD read = 0;
        if (size >= BlockSize)
            return ReadFileAt(offset, buffer, size, &read) && read == size;
        // A block from here on: the next small reads of a parser usually fall into it.
        blockSize_ = 0;
        if (!ReadFileAt(offset, block_, BlockSize, &read))
            return false;
        blockOffset_ = offset;
        blockSize_ = read;
        if (size > read)
            return false;
    }
    std::memcpy(buffer, block_ + (offset - blockOffset_), size);
    return true;
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

bool UnixSecondsToFileTime(int64_t seconds, FILETIME *utc) {
    constexpr int64_t SecondsFrom1601To1970 = 11644473600;
    if (seconds < -SecondsFrom1601To1970 || seconds > INT64_MAX / 10000000 - SecondsFrom1601To1970)
        return false;
    const uint64_t ticks = static_cast<uint64_t>(seconds + SecondsFrom1601To1970) * 10000000;
    *utc = FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    return true;
}

TimeSource SourceOf(DateSource source) {
    switch (source) {
    case DateSource::ExifOriginal:
    case DateSource::ExifDigitized:
        return TimeSource::Exif;
    case DateSource::IptcCreated:
        return TimeSource::Iptc;
    case DateSource::XmpCreateDate:
    case DateSource::XmpExifOriginal:
        return TimeSource::Xmp;
    case DateSource::MovieMetadata:
    case DateSource::MovieUserData:
    case DateSource::MovieCreation:
        return TimeSource::MovieHeader;
    case DateSource::XmpSidecar:
        return TimeSource::XmpSidecar;
    case DateSource::None:
        break;
    }
    return TimeSource::None;
}

namespace {

bool Found(const DateTaken &taken, FoundTime *found) {
    found->found = CivilToFileTime(taken.time, taken.hasOffset, taken.offsetMinutes, &found->utc);
    found->source = found->found ? SourceOf(taken.source) : TimeSource::None;
    return found->found;
}

// Reads a sidecar through read, keeping its last-access time.
template <typename Read> bool ReadSidecar(const std::wstring &path, Read read) {
    TimesHandle file(path.c_str(), FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL, true);
    FILETIME before;
    if (!file.Valid() || !stampCalls.getFileTime(file.Get(), nullptr, &before, nullptr))
        return false;
    stampCalls.setFileTime(file.Get(), nullptr, &NoAccessUpdates, nullptr);
    FileByteReader reader(file.Get());
    const bool found = read(reader);
    PutBackAccessTime(file.Get(), before);
    return found;
}

} // namespace

// Some systems update the access time by rules of their own whatever the handle asked: put back
// the time the file had.
void PutBackAccessTime(HANDLE file, const FILETIME &before) {
    FILETIME after;
    if (stampCalls.getFileTime(file, nullptr, &after, nullptr) && !SameTime(before, after))
        stampCalls.setFileTime(file, nullptr, &before, nullptr);
}

bool ReadDateTakenFrom(HANDLE file, bool accessWritten, FoundTime *found) {
    *found = FoundTime();
    if (!accessWritten)
        stampCalls.setFileTime(file, nullptr, &NoAccessUpdates, nullptr);
    FileByteReader reader(file);
    DateTaken taken;
    return ReadDateTaken(reader, &taken) && Found(taken, found);
}

DWORD ReadItemDateTaken(const wchar_t *path, DWORD attributes, const FILETIME &accessed,
                        FoundTime *found) {
    *found = FoundTime();
    if (!HoldsContentDate(attributes))
        return ERROR_SUCCESS;
    TimesHandle file(path, attributes, FILE_ATTRIBUTE_NORMAL, true);
    if (!file.Valid())
        return file.Error();
    ReadDateTakenFrom(file.Get(), false, found);
    PutBackAccessTime(file.Get(), accessed);
    return ERROR_SUCCESS;
}

bool SidecarDate(const std::wstring &folder, const FolderIndex &names, const std::wstring &name,
                 FoundTime *found) {
    *found = FoundTime();
    if (!names.HasSidecars() || IsSidecarName(name))
        return false;
    for (const std::wstring &sidecar : XmpSidecarCandidates(name, names)) {
        DateTaken taken;
        if (ReadSidecar(JoinPath(folder.c_str(), sidecar.c_str()),
                        [&](ByteReader &reader) { return ReadXmpSidecarDate(reader, &taken); }) &&
            Found(taken, found))
            return true;
    }
    // A JSON whose title is another item's belongs to that item, however its name reads.
    std::vector<std::wstring> tried;
    const auto dated = [&](const std::wstring &sidecar) {
        if (std::find(tried.begin(), tried.end(), sidecar) != tried.end())
            return false;
        tried.push_back(sidecar);
        ExportJson json;
        if (!ReadSidecar(JoinPath(folder.c_str(), sidecar.c_str()),
                         [&](ByteReader &reader) {
                             return ReadExportJson(reader, &json) && json.hasTaken &&
                                    ExportTitleMatches(json.title, name);
                         }) ||
            !UnixSecondsToFileTime(json.takenSeconds, &found->utc))
            return false;
        found->found = true;
        found->source = TimeSource::ExportJson;
        return true;
    };
    // Most items have their JSON under the name the export's rule gives it: that is looked for
    // first, and all the other names only where it is not there or is another item's.
    for (const std::wstring &first : ExportJsonFirstNames(name))
        if (const std::wstring *listed = names.Find(first))
            if (dated(*listed))
                return true;
    for (const std::wstring &sidecar : ExportJsonCandidates(name, names))
        if (dated(sidecar))
            return true;
    return false;
}

bool NameDateOf(const wchar_t *name, FoundTime *found) {
    CivilTime time;
    *found = FoundTime();
    found->found = ReadNameDate(name, &time) && CivilToFileTime(time, false, 0, &found->utc);
    found->source = found->found ? TimeSource::FileName : TimeSource::None;
    return found->found;
}
