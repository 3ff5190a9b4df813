#pragma once
// Each item's own new times: the rule that turns an item's current stamps into the ones an apply
// writes, the shift a picker was moved by, and how a shift reads in the rule row.
#include <windows.h>

#include <cstdint>
#include <string>

enum TimeRule : int32_t {
    RuleSetDates = 0,     // every checked stamp gets its picker's time
    RuleShift = 1,        // every checked stamp moves by how far its picker was moved
    RuleCopyModified = 2, // every checked stamp gets the item's own modification time
    RuleCopyCreated = 3,  // every checked stamp gets the item's own creation time
    RuleDateTaken = 4,    // every checked stamp gets the date the photo or video was taken
    RuleNameDate = 5,     // every checked stamp gets the date in the item's name
    RuleNewestInside = 6, // a folder's checked stamps get the newest write time of the files in it
    RuleSavedList = 7,    // every checked stamp gets the time a saved list shows for it now
    RuleCopyAccessed = 8, // every checked stamp gets the item's own last-access time
};
// The rules the dialog's rule row offers: all but the last, which only the command line has.
constexpr int TimeRules = 8;

// Whether the rule takes each item's time from the item itself, not from the pickers alone.
inline bool RuleIsPerItem(int32_t rule) {
    return rule != RuleSetDates;
}
// Whether the rule needs a time found for the item (in its content, its sidecars, its name, the
// files inside it or a saved list); an item without one keeps that stamp.
inline bool RuleNeedsItemDate(int32_t rule) {
    return rule == RuleDateTaken || rule == RuleNameDate || rule == RuleNewestInside ||
           rule == RuleSavedList;
}

// The program's own error: a new time lies outside what a file time can hold. The customer bit
// keeps it apart from every system code.
constexpr DWORD ErrorShiftOutOfRange = 0x20000000u | 1;

// The stamps in SetFileTime's order.
enum StampIndex { StampIndexCreated = 0, StampIndexAccessed = 1, StampIndexWritten = 2 };
constexpr int StampKinds = 3;

// Where a found time came from, as the preview shows it.
enum class TimeSource : uint8_t {
    None,
    Exif,
    Iptc,
    Xmp,
    XmpSidecar,
    ExportJson,
    MovieHeader,
    FileName,
    SavedList,
    NewestInside,
};

// Each stamp's rule, whether it is written at all, and what its rule needs from the pickers.
struct RuleChoice {
    TimeRule rule[StampKinds] = {RuleSetDates, RuleSetDates, RuleSetDates};
    bool use[StampKinds] = {};
    FILETIME fixed[StampKinds] = {}; // RuleSetDates: the pickers' times (UTC)
    int64_t shift[StampKinds] = {};  // RuleShift: signed 100 ns ticks
    // One rule for every stamp, as the dialog's rule row chooses it.
    void SetRule(TimeRule all) { rule[0] = rule[1] = rule[2] = all; }
    bool Uses(TimeRule wanted) const {
        for (int stamp = 0; stamp < StampKinds; ++stamp)
            if (use[stamp] && rule[stamp] == wanted)
                return true;
        return false;
    }
    // Whether every stamp written takes this rule.
    bool OnlyUses(TimeRule wanted) const {
        bool any = false;
        for (int stamp = 0; stamp < StampKinds; ++stamp) {
            if (use[stamp] && rule[stamp] != wanted)
                return false;
            any = any || use[stamp];
        }
        return any;
    }
};

// A time found for an item, and where.
struct FoundTime {
    bool found = false;
    FILETIME utc = {};
    TimeSource source = TimeSource::None;
};

// What was found for an item for the rules that take a time from somewhere.
struct ItemFound {
    FoundTime taken;            // the date taken: its content, else its sidecars
    FoundTime name;             // the date in its name
    FoundTime newest;           // a folder: the newest write time of the files in it
    bool inList = false;        // a saved list names the item
    FoundTime list[StampKinds]; // the list's time now of each stamp
};

// What one item gets: which stamps are written and with what, whether each changes the item,
// and whether a new time lies outside what a file time can hold (the item is then not stamped)
// or a stamp had no time to take (that stamp is left alone).
struct RulePlan {
    bool write[StampKinds] = {};
    FILETIME value[StampKinds] = {};
    bool changes[StampKinds] = {};
    bool outOfRange = false;
    uint8_t refused = 0; // bit per stamp (StampIndex) whose new time cannot be written
    bool noDate = false;
    bool notInList = false; // a saved list's rule, and the list does not name the item
    TimeSource source = TimeSource::None;
    bool Writes() const { return write[0] || write[1] || write[2]; }
    bool Changes() const { return changes[0] || changes[1] || changes[2]; }
};

// The plan for an item whose stamps are now current (read before anything is changed, so the
// copy rules never take a value this apply wrote). A stamp copied onto itself is not written.
// found holds the times found for the item, for the rules that need one (null: none found).
RulePlan PlanItem(const RuleChoice &choice, const FILETIME (&current)[StampKinds],
                  const ItemFound *found = nullptr);

// The moment a local time names that lies nearest to expected (UTC). A local time in the repeated
// autumn hour names two moments, one in the spring gap none: it is the one near the moment the
// caller expects, so an hour field moved by one moves by an hour on either side of a change.
// False when the local time cannot be a file time.
bool ResolveLocal(const SYSTEMTIME &local, const FILETIME &expected, FILETIME *utc);
// The moment a picker names once the user has moved it from showing before (the moment
// beforeUtc) to showing after: beforeUtc itself while it still shows the same second, else the
// moment of after nearest to beforeUtc moved by as much as the fields were.
bool PickerMoment(const SYSTEMTIME &before, const FILETIME &beforeUtc, const SYSTEMTIME &after,
                  FILETIME *utc);
// How far a picker was moved: from the moment loaded into it to the moment it names now, in
// whole seconds of elapsed time (signed 100 ns ticks). A picker left as loaded shifts nothing.
int64_t PickerShift(const FILETIME &now, const FILETIME &loaded);
// A moment moved by an elapsed time; false when that leaves what a file time can hold.
bool MoveMoment(const FILETIME &from, int64_t ticks, FILETIME *moved);
// The local time of a moment, by the rules of its own date.
SYSTEMTIME LocalTimeOf(const FILETIME &utc);

// A shift as the rule row shows it: a sign, the largest unit that is not zero and the one below
// it ("+1 h 0 min", "\u22123 d 2 h", "+2 min 5 s", "+30 s"); "0" when there is none. Below a
// second it counts as none.
std::wstring FormatShift(int64_t ticks);
