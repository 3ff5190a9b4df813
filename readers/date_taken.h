#pragma once
// The moment a photo or a video was taken, as the file itself records it: EXIF, IPTC and XMP in
// JPEG; EXIF in TIFF and the raw formats built on it, in HEIC/HEIF/AVIF and in PNG; the metadata
// and the movie header of MP4/MOV/3GP; the XMP sidecar that editors write beside a raw file.
// Pure: no file-system calls, only the reads it asks of a ByteReader.
#include <cstddef>
#include <cstdint>
#include <string>

#include "readers/byte_reader.h"
#include "readers/calendar.h"

// Where the time was found, in the order a JPEG, then a movie, is searched.
enum class DateSource {
    None,
    ExifOriginal,    // EXIF DateTimeOriginal
    IptcCreated,     // IPTC Date Created with Time Created
    XmpCreateDate,   // XMP xmp:CreateDate
    ExifDigitized,   // EXIF DateTimeDigitized
    XmpExifOriginal, // XMP exif:DateTimeOriginal
    MovieMetadata,   // com.apple.quicktime.creationdate of a movie's metadata (moov/meta)
    MovieUserData,   // the \xA9day text of a movie's user data (moov/udta)
    MovieCreation,   // the creation time of an MP4/MOV movie header
    XmpSidecar,      // an editor's XMP sidecar beside the file
};

struct DateTaken {
    CivilTime time; // as recorded: local time, or UTC for a movie
    bool hasOffset = false;
    int offsetMinutes = 0; // east of UTC; 0 with hasOffset for a movie's UTC time
    DateSource source = DateSource::None;
};

// The most bytes one call reads, whatever the file holds.
constexpr size_t DateTakenReadBudget = 256 * 1024;

// False when the file holds no valid date: unknown format, no field, only broken fields, or a
// damaged file. Never reads outside the file and never more than DateTakenReadBudget bytes.
bool ReadDateTaken(ByteReader &reader, DateTaken *taken);

// The date of an editor's XMP sidecar (NAME.xmp beside a raw file): exif:DateTimeOriginal, then
// photoshop:DateCreated, then xmp:CreateDate. Reads the file whole, but no more than
// DateTakenReadBudget bytes of it.
bool ReadXmpSidecarDate(ByteReader &reader, DateTaken *taken);

// An ISO 8601 time as XMP and the saved list write it: "2024-01-31T23:59:59.1234567+01:00", with
// or without seconds, fraction and offset ("Z" or +hh:mm); a date alone is its noon.
bool ReadIsoTime(const std::string &text, DateTaken *taken);
