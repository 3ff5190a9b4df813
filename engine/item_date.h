#pragma once
// The date an item carries in itself: the moment a photo or video was taken, read from the file
// without changing anything about it (its last-access time included), and the date in its name.
// Both as the UTC time a stamp takes.
#include <windows.h>

#include <cstdint>

#include "readers/byte_reader.h"
#include "readers/calendar.h"

// The bytes of an open file for the parsers: each read exactly the bytes asked for, and never
// more than DateTakenReadBudget bytes in all.
class FileByteReader : public ByteReader {
  public:
    explicit FileByteReader(HANDLE file) : file_(file) {}
    bool Read(uint64_t offset, void *buffer, size_t size) override;
    uint64_t Size() override; // 0 when the size cannot be read
    uint64_t BytesRead() const { return used_; }

  private:
    HANDLE file_;
    uint64_t used_ = 0;
};

// A recorded time as UTC: with an offset east of UTC, the civil time less that offset (a movie's
// UTC time has offset 0); without one, local time of this computer by the rules of its own date.
// False for a time that cannot be a FILETIME.
bool CivilToFileTime(const CivilTime &time, bool hasOffset, int offsetMinutes, FILETIME *utc);

// Looks inside the file at path (extended-length form), whose attributes the walk found, for the
// moment it was taken; it is opened the way stamping opens it (a read-only item that the system
// will not open for its attributes takes the writable route). Returns the error of the open when
// the file cannot be opened; otherwise ERROR_SUCCESS, with found telling whether the file holds a
// date. A folder or a link holds none. The file, its last-write and last-access times are left
// as they were.
DWORD ReadItemDateTaken(const wchar_t *path, DWORD attributes, FILETIME *utc, bool *found);
// The same on a file already open for reading its content and changing its times (which an
// apply then stamps through the same handle): whether it holds a date.
bool ReadDateTakenFrom(HANDLE file, FILETIME *utc);

// The date and time in the name of an item, as local time by the rules of that date.
bool NameDateOf(const wchar_t *name, FILETIME *utc);
