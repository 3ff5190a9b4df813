#pragma once
// The list of times a preview saves (CSV: a header, then one line per item: its path below the
// target, then for each stamp its time now and its new time), read back so that the times as
// they were can be put back. Pure: no file-system calls, only the reads it asks of a ByteReader.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "readers/byte_reader.h"
#include "readers/calendar.h"

// The stamps of a list, in the order SetFileTime takes them: created, accessed, written.
constexpr int ListStamps = 3;

// The header titles that name the column of each stamp's time now, in every language the list
// may have been saved in.
struct ListColumns {
    std::vector<std::wstring> now[ListStamps];
};

// One time of a list line, as written there.
struct ListTime {
    CivilTime time;
    bool hasOffset = false;
    int offsetMinutes = 0; // east of UTC
};

struct ListEntry {
    std::wstring path; // below the target, as written
    bool has[ListStamps] = {};
    ListTime now[ListStamps];
};

enum class ListError {
    None,
    TooLarge,      // bigger than a list can be
    NotText,       // not UTF-8
    NoHeader,      // the first line names no stamp's time now
    UnclosedQuote, // a quoted field does not end
    FieldCount,    // a line has another number of fields than the header
    NoPath,        // a line names no item
    BadTime,       // a field of a time now is no time
};

struct ListProblem {
    ListError error = ListError::None;
    uint32_t line = 0;  // 1 for the header
    std::wstring field; // the field that is wrong, where one is
    size_t fields = 0;  // FieldCount: the fields of that line and of the header
    size_t headerFields = 0;
};

// The biggest list read: some million items.
constexpr uint64_t SavedListMaxBytes = 512ull << 20;

// Reads the whole list. The separator is the first of ",", ";" or a tab in the header; a field
// is quoted where it holds one. Columns the header does not name as a time now are left alone
// (the new times, the source). On the first line that cannot be taken, false with what is wrong
// and where, and no entries.
bool ReadSavedList(ByteReader &reader, const ListColumns &columns, std::vector<ListEntry> *entries,
                   ListProblem *problem);
