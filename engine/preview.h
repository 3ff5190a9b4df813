#pragma once
// What an apply would do, item by item: the list a preview pass fills on the walk thread and the
// preview window shows once the pass has ended. Rows and paths are kept in blocks that never
// move, so a long list grows without copying.
#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engine/time_rule.h"

// The job mode of a preview pass (a count pass that also lists every item).
constexpr int32_t PreviewMode = 3;

struct PreviewRow {
    const wchar_t *path; // below the target folder; empty for the target itself
    FILETIME now[StampKinds];
    FILETIME next[StampKinds];
    uint8_t write;   // bit per stamp (StampIndex): the apply writes it
    uint8_t changes; // bit per stamp: what it writes differs from what the item has
    uint8_t refused; // bit per stamp: its new time cannot be written, so the apply refuses the item
    uint8_t flags;   // PreviewFolder, PreviewNoDate, PreviewOutOfRange, PreviewNotInList
    TimeSource source; // where the new time came from
};
constexpr uint8_t PreviewFolder = 1;
constexpr uint8_t PreviewNoDate = 2;
constexpr uint8_t PreviewOutOfRange = 4;
constexpr uint8_t PreviewNotInList = 8;

class PreviewList {
  public:
    // A new pass: the stamps its rule writes (bit per stamp) and the rule, everything listed
    // before goes.
    void Begin(uint8_t stamps, TimeRule rule = RuleSetDates);
    TimeRule Rule() const { return rule_; }
    void Add(const wchar_t *relative, size_t length, const FILETIME (&now)[StampKinds],
             const RulePlan &plan, bool folder);
    size_t Size() const { return rows_.size(); }
    const PreviewRow &Row(size_t index) const { return rows_[index]; }
    uint8_t Stamps() const { return stamps_; }
    uint32_t Changing() const { return changing_; }
    uint32_t Undated() const { return undated_; }
    uint32_t OutOfRange() const { return outOfRange_; }
    uint32_t NotInList() const { return notInList_; }
    // Lines of a saved list whose item the pass did not find.
    uint32_t ListLinesGone() const { return listLinesGone_; }
    void SetListLinesGone(uint32_t lines) { listLinesGone_ = lines; }
    void Clear();
    size_t BytesReserved() const;

  private:
    static constexpr size_t BlockCharacters = 32768; // the longest path and its terminator
    wchar_t *Keep(const wchar_t *text, size_t length);
    std::deque<PreviewRow> rows_;
    std::vector<std::unique_ptr<wchar_t[]>> blocks_;
    size_t blockUsed_ = BlockCharacters;
    uint8_t stamps_ = 0;
    TimeRule rule_ = RuleSetDates;
    uint32_t changing_ = 0;
    uint32_t undated_ = 0;
    uint32_t outOfRange_ = 0;
    uint32_t notInList_ = 0;
    uint32_t listLinesGone_ = 0;
};

// The stamps in the order the list shows them: created, modified, last accessed.
constexpr int PreviewStampOrder[StampKinds] = {StampIndexCreated, StampIndexWritten,
                                               StampIndexAccessed};

// A time as ISO 8601 local time by the rules of its own date, with its offset from UTC (so the
// two 02:30 of an autumn night read apart) and its fraction of a second when there is one:
// "2023-10-29T02:30:00+02:00", "2024-01-31T23:59:59.1234567+01:00".
std::wstring IsoLocalTime(const FILETIME &utc);

// What the saved list says in words, in the user's language, and how it separates its fields.
struct ListTexts {
    // The item, then for each stamp in use its now and new, then the source where there is one.
    std::vector<std::wstring> header;
    std::wstring outOfRange; // the new time of a stamp that cannot be written
    // The name of each TimeSource, in its order; empty: the list has no source field.
    std::vector<std::wstring> sources;
    wchar_t separator = L',';
};
// The separator a spreadsheet of the user's locale expects (";" where the decimal mark is a
// comma); "," where the locale names none that a reader of the list takes.
wchar_t ListSeparator();
// The list as a spreadsheet opens it: UTF-8 with a byte-order mark, the header, then one line
// per item: its path, then for each stamp in use its time now and its new time.
std::string PreviewCsv(const PreviewList &list, const ListTexts &texts);
