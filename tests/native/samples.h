#pragma once
// The sample files of the parser tests, each with the date a reader of it must find. The
// mutation run starts from the same files.
#include <string>
#include <vector>

#include "readers/date_taken.h"
#include "file_builders.h"

struct Sample {
    std::string name;
    Bytes bytes;
    bool hasDate;
    DateTaken expected;
    bool sidecar = false; // an XMP sidecar, which has a reader of its own
};

inline bool ReadSample(const Sample &sample, ByteReader &reader, DateTaken *taken) {
    return sample.sidecar ? ReadXmpSidecarDate(reader, taken) : ReadDateTaken(reader, taken);
}

std::vector<Sample> Samples();

// Sidecar JSON of a photo service's export, with what ReadExportJson must find in it.
struct JsonSample {
    std::string name;
    std::string text;
    bool valid;
    bool hasTaken;
    int64_t seconds;
    std::wstring title;
};

std::vector<JsonSample> ExportJsonSamples();

// The fields of a time in one value, so a mismatch shows them all.
inline std::vector<int> Parts(const CivilTime &t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second, t.fraction};
}

// A taken time for the expectations: a local time without an offset unless one is given.
constexpr int NoOffset = 100000;
DateTaken Taken(DateSource source, CivilTime time, int offsetMinutes = NoOffset);
