#include "engine/time_rule.h"

#include <algorithm>

namespace {

// FileTimeToSystemTime takes values below 2^63 ticks (the year 30828).
constexpr uint64_t LastFileTime = 0x7FFFFFFFFFFFFFFFull;
constexpr int64_t TicksPerSecond = 10000000;

uint64_t Ticks(const FILETIME &time) {
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

FILETIME FromTicks(uint64_t ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// The time moved by shift ticks; false when that leaves 1601 to 30827.
bool Shifted(const FILETIME &time, int64_t shift, FILETIME *moved) {
    const uint64_t from = Ticks(time);
    if (from > LastFileTime)
        return false;
    if (shift < 0) {
        const uint64_t back = static_cast<uint64_t>(-(shift + 1)) + 1;
        if (back > from)
            return false;
        *moved = FromTicks(from - back);
        return true;
    }
    if (static_cast<uint64_t>(shift) > LastFileTime - from)
        return false;
    *moved = FromTicks(from + static_cast<uint64_t>(shift));
    return true;
}

// Naive ticks of a SYSTEMTIME as if it were UTC: the local wall clock as a number.
bool WallTicks(SYSTEMTIME time, uint64_t *ticks) {
    time.wMilliseconds = 0;
    FILETIME wall;
    if (!SystemTimeToFileTime(&time, &wall))
        return false;
    *ticks = Ticks(wall);
    return true;
}

// The offset of local time from UTC in force at a moment, in ticks.
bool OffsetAt(uint64_t utc, int64_t *offset) {
    const FILETIME moment = FromTicks(utc);
    SYSTEMTIME universal, local;
    uint64_t wall;
    if (!FileTimeToSystemTime(&moment, &universal) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local) || !WallTicks(local, &wall))
        return false;
    *offset = static_cast<int64_t>(wall - utc);
    return true;
}

uint64_t Distance(uint64_t a, uint64_t b) {
    return a > b ? a - b : b - a;
}

uint64_t WholeSeconds(const FILETIME &time) {
    return Ticks(time) - Ticks(time) % TicksPerSecond;
}

} // namespace

namespace {

// The time a rule that takes one from somewhere found for a stamp; null when there is none.
const FoundTime *FoundFor(TimeRule rule, int stamp, const ItemFound *found) {
    if (!found)
        return nullptr;
    const FoundTime *time = rule == RuleDateTaken      ? &found->taken
                            : rule == RuleNameDate     ? &found->name
                            : rule == RuleNewestInside ? &found->newest
                                                       : &found->list[stamp];
    return time->found ? time : nullptr;
}

} // namespace

RulePlan PlanItem(const RuleChoice &choice, const FILETIME (&current)[StampKinds],
                  const ItemFound *found) {
    RulePlan plan;
    uint8_t refused = 0;
    for (int stamp = 0; stamp < StampKinds; ++stamp) {
        if (!choice.use[stamp])
            continue;
        const TimeRule rule = choice.rule[stamp];
        FILETIME value = current[stamp];
        bool inRange = true;
        switch (rule) {
        case RuleSetDates:
            value = choice.fixed[stamp];
            break;
        case RuleShift:
            inRange = Shifted(current[stamp], choice.shift[stamp], &value);
            break;
        case RuleCopyModified:
        case RuleCopyCreated:
        case RuleCopyAccessed: {
            const int source = rule == RuleCopyModified  ? StampIndexWritten
                               : rule == RuleCopyCreated ? StampIndexCreated
                                                         : StampIndexAccessed;
            if (source == stamp)
                continue; // a stamp copied onto itself is left alone
            value = current[source];
            break;
        }
        case RuleDateTaken:
        case RuleNameDate:
        case RuleNewestInside:
        case RuleSavedList: {
            const FoundTime *time = FoundFor(rule, stamp, found);
            if (!time) {
                // The stamp keeps its time; the item counts as one without a date.
                plan.noDate = true;
                plan.notInList =
                    plan.notInList || (rule == RuleSavedList && !(found && found->inList));
                continue;
            }
            value = time->utc;
            if (plan.source == TimeSource::None)
                plan.source = time->source;
            break;
        }
        }
        // SetFileTime takes a zero time as "leave this stamp": 1601-01-01 00:00:00.0000000 UTC
        // cannot be written any more than a time past 30827.
        if (!inRange || Ticks(value) == 0 || Ticks(value) > LastFileTime) {
            refused |= 1u << stamp;
            continue;
        }
        plan.write[stamp] = true;
        plan.value[stamp] = value;
        plan.changes[stamp] = Ticks(value) != Ticks(current[stamp]);
    }
    if (refused) {
        // Nothing of the item is written when one of its stamps cannot be.
        RulePlan none;
        none.outOfRange = true;
        none.refused = refused;
        return none;
    }
    return plan;
}

std::wstring FormatShift(int64_t ticks) {
    const bool negative = ticks < 0;
    // The magnitude in whole seconds, without overflowing at the most negative value.
    const uint64_t magnitude =
        negative ? static_cast<uint64_t>(-(ticks + 1)) + 1 : static_cast<uint64_t>(ticks);
    uint64_t seconds = magnitude / TicksPerSecond;
    if (seconds == 0)
        return L"0";
    const struct {
        uint64_t size;
        const wchar_t *unit;
    } units[] = {{86400, L"d"}, {3600, L"h"}, {60, L"min"}, {1, L"s"}};
    uint64_t amounts[4];
    for (int i = 0; i < 4; ++i) {
        amounts[i] = seconds / units[i].size;
        seconds %= units[i].size;
    }
    int first = 0;
    while (amounts[first] == 0)
        ++first;
    std::wstring text(1, negative ? L'\u2212' : L'+');
    text += std::to_wstring(amounts[first]) + L' ' + units[first].unit;
    if (first < 3)
        text += L' ' + std::to_wstring(amounts[first + 1]) + L' ' + units[first + 1].unit;
    return text;
}

bool ResolveLocal(const SYSTEMTIME &local, const FILETIME &expected, FILETIME *utc) {
    uint64_t wall;
    if (!WallTicks(local, &wall))
        return false;
    // The offsets in force a day either side cover every change of offset around the time.
    constexpr uint64_t Day = 26ull * 3600 * TicksPerSecond;
    int64_t offsets[3];
    int count = 0;
    for (const uint64_t probe : {wall > Day ? wall - Day : 0, wall, wall + Day}) {
        int64_t offset;
        if (OffsetAt(probe, &offset) &&
            std::find(offsets, offsets + count, offset) == offsets + count)
            offsets[count++] = offset;
    }
    // A candidate is a real moment when the offset in force there is the one it assumed; in the
    // spring gap none is, and the nearest of them stands in.
    bool found = false, foundValid = false;
    uint64_t best = 0;
    for (int i = 0; i < count; ++i) {
        const uint64_t candidate = wall - static_cast<uint64_t>(offsets[i]);
        int64_t there;
        const bool valid = OffsetAt(candidate, &there) && there == offsets[i];
        const bool better = !found || (valid && !foundValid) ||
                            (valid == foundValid && Distance(candidate, Ticks(expected)) <
                                                        Distance(best, Ticks(expected)));
        if (candidate <= LastFileTime && better) {
            best = candidate;
            found = true;
            foundValid = valid;
        }
    }
    if (found)
        *utc = FromTicks(best);
    return found;
}

bool PickerMoment(const SYSTEMTIME &before, const FILETIME &beforeUtc, const SYSTEMTIME &after,
                  FILETIME *utc) {
    uint64_t from, to;
    if (!WallTicks(before, &from) || !WallTicks(after, &to))
        return false;
    if (from == to) {
        *utc = beforeUtc;
        return true;
    }
    const FILETIME expected = FromTicks(WholeSeconds(beforeUtc) + (to - from));
    FILETIME second;
    if (!ResolveLocal(after, expected, &second))
        return false;
    return MoveMoment(second, int64_t{after.wMilliseconds} * (TicksPerSecond / 1000), utc);
}

int64_t PickerShift(const FILETIME &now, const FILETIME &loaded) {
    return static_cast<int64_t>(WholeSeconds(now) - WholeSeconds(loaded));
}

bool MoveMoment(const FILETIME &from, int64_t ticks, FILETIME *moved) {
    return Shifted(from, ticks, moved);
}

SYSTEMTIME LocalTimeOf(const FILETIME &utc) {
    SYSTEMTIME universal = {}, local = {};
    FileTimeToSystemTime(&utc, &universal);
    SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local);
    return local;
}
