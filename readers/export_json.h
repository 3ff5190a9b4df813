#pragma once
// The JSON file that a photo service's export writes beside each item: the moment the photo was
// taken, which the exported file itself no longer carries, and the item's original name. Pure:
// no file-system calls, only the reads it asks of a ByteReader.
#include <cstddef>
#include <cstdint>
#include <string>

#include "readers/byte_reader.h"

struct ExportJson {
    bool hasTaken = false;
    int64_t takenSeconds = 0; // UTC, since 1970, may be negative
    std::wstring title;       // the item's name before the export clipped or numbered it
};

// The most bytes one call reads. Such a file holds a few hundred bytes; a bigger one is not one.
constexpr size_t ExportJsonReadBudget = 256 * 1024;

// False when the file is not well-formed JSON with an object at the top, or is bigger than the
// budget. The time is the top-level photoTakenTime.timestamp (creationTime is the upload, not the
// moment taken); hasTaken stays false without one, or for a zero or one the stamps cannot hold.
bool ReadExportJson(ByteReader &reader, ExportJson *out);
