#pragma once
// The date an item carries with it: the moment a photo or video was taken, read from the file or,
// where the file has none, from the sidecar an editor or a photo service's export wrote beside
// it, without changing anything about either (their last-access times included); and the date
// in its name. Each as the UTC time a stamp takes, with where it came from.
#include <windows.h>

#include <cstdint>
#include <string>

#include "engine/time_rule.h"
#include "readers/byte_reader.h"
#include "readers/calendar.h"
#include "readers/date_taken.h"

class FolderIndex;

// The bytes of an open file for the readers: each read exactly the bytes asked for, never more
// than the budget in all. Small reads near each other are served from one block read once.
class FileByteReader : public ByteReader {
  public:
    explicit FileByteReader(HANDLE file, uint64_t budget = DateTakenReadBudget)
        : file_(file), budget_(budget) {}
    bool Read(uint64_t offset, void *buffer, size_t size) override;
    uint64_t Size() override; // 0 when the size cannot be read
    uint64_t BytesRead() const { return used_; }
    uint32_t FileReads() const { return fileReads_; } // reads of the file itself

  private:
    static constexpr size_t BlockSize = 16 * 1024;
    bool ReadFileAt(uint64_t offset, void *buffer, size_t size, DWORD *read);
    HANDLE file_;
    uint64_t budget_;
    uint64_t used_ = 0;
    uint32_t fileReads_ = 0;
    uint64_t blockOffset_ = 0;
    DWORD blockSize_ = 0; // 0: no block held
    unsigned char block_[BlockSize];
};

// A recorded time as UTC: with an offset east of UTC, the civil time less that offset (a movie's
// UTC time has offset 0); without one, local time of this computer by the rules of its own date.
// False for a time that cannot be a FILETIME.
bool CivilToFileTime(const CivilTime &time, bool hasOffset, int offsetMinutes, FILETIME *utc);
// Seconds since 1970 UTC as a FILETIME; false before 1601.
bool UnixSecondsToFileTime(int64_t seconds, FILETIME *utc);
// Where a reader's date came from, as the preview names it.
TimeSource SourceOf(DateSource source);

// The moment the file open as `file` (for reading its content and changing its times) was taken,
// by its content alone. Reading may move its access time: unless accessWritten says that the
// caller writes it anyway, the system is asked not to. Nothing is put back here (see
// PutBackAccessTime).
bool ReadDateTakenFrom(HANDLE file, bool accessWritten, FoundTime *found);
// Puts back the access time a file had before its content was read, where that moved it.
void PutBackAccessTime(HANDLE file, const FILETIME &before);
// The same for the file at path (extended-length form), whose attributes and access time the walk
// found, opened the way stamping opens it (a read-only item that the system will not open for its
// attributes takes the writable route). Returns the error of the open when the file cannot be
// opened; a folder or a link holds no date.
DWORD ReadItemDateTaken(const wchar_t *path, DWORD attributes, const FILETIME &accessed,
                        FoundTime *found);
// The date in the sidecar of the item name in folder (extended-length form), whose names are
// listed in names: an editor's XMP sidecar, else the export's JSON whose title is the item's.
// Each sidecar read keeps its last-access time. A sidecar itself has none.
bool SidecarDate(const std::wstring &folder, const FolderIndex &names, const std::wstring &name,
                 FoundTime *found);

// The date and time in the name of an item, as local time by the rules of that date.
bool NameDateOf(const wchar_t *name, FoundTime *found);
