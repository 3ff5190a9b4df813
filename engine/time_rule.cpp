#include "engine/time_rule.h"

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

// A local time to the whole second as UTC, by the rules of its date.
bool LocalSecondToUtc(SYSTEMTIME local, FILETIME *utc) {
    local.wMilliseconds = 0;
    SYSTEMTIME universal = {};
    return TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal) &&
           SystemTimeToFileTime(&universal, utc);
}

} // namespace

RulePlan PlanItem(const RuleChoice &choice, const FILETIME (&current)[StampKinds],
                  const FILETIME *itemDate) {
    RulePlan plan;
    if (RuleNeedsItemDate(choice.rule) && !itemDate) {
        plan.noDate = true; // the item keeps every stamp
        return plan;
    }
    for (int stamp = 0; stamp < StampKinds; ++stamp) {
        if (!choice.use[stamp])
            continue;
        FILETIME value = current[stamp];
        switch (choice.rule) {
        case RuleSetDates:
            value = choice.fixed[stamp];
            break;
        case RuleShift:
            if (!Shifted(current[stamp], choice.shift[stamp], &value)) {
                // Nothing of the item is written when one of its stamps cannot be.
                RulePlan refused;
                refused.outOfRange = true;
                return refused;
            }
            break;
        case RuleCopyModified:
        case RuleCopyCreated: {
            const int source =
                choice.rule == RuleCopyModified ? StampIndexWritten : StampIndexCreated;
            if (source == stamp)
                continue; // a stamp copied onto itself is left alone
            value = current[source];
            break;
        }
        case RuleDateTaken:
        case RuleNameDate:
            value = *itemDate;
            break;
        }
        plan.write[stamp] = true;
        plan.value[stamp] = value;
        plan.changes[stamp] = Ticks(value) != Ticks(current[stamp]);
    }
    return plan;
}

int64_t PickerShift(const SYSTEMTIME &pickerLocal, const FILETIME &loaded) {
    SYSTEMTIME universal = {}, loadedLocal = {};
    FILETIME from = {}, to = {};
    if (!FileTimeToSystemTime(&loaded, &universal) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &loadedLocal) ||
        !LocalSecondToUtc(loadedLocal, &from) || !LocalSecondToUtc(pickerLocal, &to))
        return 0;
    return static_cast<int64_t>(Ticks(to) - Ticks(from));
}

int64_t LocalDifference(const SYSTEMTIME &from, const SYSTEMTIME &to) {
    FILETIME start = {}, end = {};
    if (!LocalSecondToUtc(from, &start) || !LocalSecondToUtc(to, &end))
        return 0;
    return static_cast<int64_t>(Ticks(end) - Ticks(start));
}

bool MoveLocal(const SYSTEMTIME &local, int64_t ticks, SYSTEMTIME *moved) {
    SYSTEMTIME universal = {};
    FILETIME from = {}, to = {};
    return LocalSecondToUtc(local, &from) && Shifted(from, ticks, &to) &&
           FileTimeToSystemTime(&to, &universal) &&
           SystemTimeToTzSpecificLocalTime(nullptr, &universal, moved);
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
