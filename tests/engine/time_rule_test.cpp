// Each item's own new times: the rules, the shift a picker was moved by, and its text.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/test_support.h"
#include "engine/time_rule.h"

using namespace testsupport;

namespace {

constexpr int64_t Hour = 36000000000;

// The shift of a picker loaded with a moment and moved by the user to show picker.
int64_t ShiftTo(const FILETIME &loaded, const SYSTEMTIME &picker) {
    FILETIME moment = {};
    EXPECT_TRUE(PickerMoment(UtcToLocal(loaded), loaded, picker, &moment));
    return PickerShift(moment, loaded);
}

TEST(TimeRuleShift, AnHourFieldMovedByOneIsAnHourOfElapsedTimeAlsoAroundEitherChange) {
    ASSERT_TRUE(RunsInWarsawTime());
    const struct {
        FILETIME loaded;
        SYSTEMTIME picker;
        int64_t shift;
    } cases[] = {
        {LocalToUtc(MakeLocalTime(2024, 1, 15, 10, 0, 0)), MakeLocalTime(2024, 1, 15, 11, 0, 0),
         Hour},
        {LocalToUtc(MakeLocalTime(2024, 7, 15, 10, 0, 0)), MakeLocalTime(2024, 7, 15, 9, 0, 0),
         -Hour},
        // 02:00 to 03:00 of 31 March does not exist: 01:30 to 03:30 is one hour, and a field
        // moved into the gap from either side is an hour too.
        {MakeFileTime(2024, 3, 31, 0, 30, 0), MakeLocalTime(2024, 3, 31, 3, 30, 0), Hour},
        {MakeFileTime(2024, 3, 31, 0, 30, 0), MakeLocalTime(2024, 3, 31, 2, 30, 0), Hour},
        {MakeFileTime(2024, 3, 31, 1, 30, 0), MakeLocalTime(2024, 3, 31, 2, 30, 0), -Hour},
        // 02:30 of 27 October is there twice: 00:30 and 01:30 UTC.
        {MakeFileTime(2024, 10, 27, 1, 30, 0), MakeLocalTime(2024, 10, 27, 3, 30, 0), Hour},
        {MakeFileTime(2024, 10, 27, 0, 30, 0), MakeLocalTime(2024, 10, 27, 1, 30, 0), -Hour},
        {MakeFileTime(2024, 10, 26, 23, 30, 0), MakeLocalTime(2024, 10, 27, 2, 30, 0), Hour},
        {MakeFileTime(2024, 10, 27, 2, 30, 0), MakeLocalTime(2024, 10, 27, 2, 30, 0), -Hour},
        {MakeFileTime(2024, 10, 27, 1, 30, 0), MakeLocalTime(2024, 10, 27, 2, 35, 0),
         5 * Hour / 60},
    };
    for (const auto &c : cases) {
        const int64_t shift = ShiftTo(c.loaded, c.picker);
        EXPECT_EQ(c.shift, shift) << Ticks(c.loaded);
        RuleChoice choice;
        choice.SetRule(RuleShift);
        choice.use[StampIndexWritten] = true;
        choice.shift[StampIndexWritten] = shift;
        // Items of January and of July both move by exactly that.
        for (const FILETIME item :
             {MakeFileTime(2023, 1, 2, 3, 4, 5), MakeFileTime(2023, 7, 2, 3, 4, 5)}) {
            const FILETIME current[StampKinds] = {item, item, item};
            const RulePlan plan = PlanItem(choice, current);
            EXPECT_TRUE(plan.write[StampIndexWritten]);
            EXPECT_FALSE(plan.write[StampIndexCreated] || plan.write[StampIndexAccessed]);
            EXPECT_EQ(Ticks(item) + c.shift, Ticks(plan.value[StampIndexWritten]));
        }
    }
}

TEST(TimeRuleShift, APickerLeftAsLoadedShiftsNothing) {
    ASSERT_TRUE(RunsInWarsawTime());
    const FILETIME loaded[] = {
        FromTicks(Ticks(MakeFileTime(2024, 1, 15, 10, 0, 0)) + 1234567), // below a millisecond
        MakeFileTime(2024, 10, 27, 0, 30, 0), // 02:30 summer time, the first of the two
        MakeFileTime(2024, 10, 27, 1, 30, 0), // 02:30 winter time, the second
    };
    for (const FILETIME &time : loaded)
        EXPECT_EQ(0, ShiftTo(time, UtcToLocal(time))) << Ticks(time);
}

TEST(TimeRuleCopy, EachCheckedStampGetsTheItemsOwnOtherStampFromBefore) {
    const FILETIME current[StampKinds] = {FromTicks(100), FromTicks(200), FromTicks(300)};
    const struct {
        TimeRule rule;
        bool write[StampKinds];
        int64_t value[StampKinds];
    } cases[] = {
        // created and accessed := modified; modified onto itself is left alone
        {RuleCopyModified, {true, true, false}, {300, 300, 0}},
        {RuleCopyCreated, {false, true, true}, {0, 100, 100}},
    };
    for (const auto &c : cases) {
        RuleChoice choice;
        choice.SetRule(c.rule);
        choice.use[0] = choice.use[1] = choice.use[2] = true;
        const RulePlan plan = PlanItem(choice, current);
        for (int stamp = 0; stamp < StampKinds; ++stamp) {
            EXPECT_EQ(c.write[stamp], plan.write[stamp]) << c.rule << " " << stamp;
            if (c.write[stamp]) {
                EXPECT_EQ(c.value[stamp], Ticks(plan.value[stamp])) << c.rule << " " << stamp;
            }
        }
    }
}

TEST(TimeRuleChanges, AStampThatKeepsItsValueIsMarkedUnchanged) {
    const FILETIME current[StampKinds] = {FromTicks(500), FromTicks(500), FromTicks(700)};
    RuleChoice choice;
    choice.SetRule(RuleCopyModified);
    choice.use[StampIndexCreated] = choice.use[StampIndexAccessed] = true;
    RulePlan plan = PlanItem(choice, current);
    EXPECT_TRUE(plan.changes[StampIndexCreated]);
    choice.SetRule(RuleSetDates);
    choice.fixed[StampIndexCreated] = FromTicks(500);
    choice.fixed[StampIndexAccessed] = FromTicks(501);
    plan = PlanItem(choice, current);
    EXPECT_FALSE(plan.changes[StampIndexCreated]);
    EXPECT_TRUE(plan.changes[StampIndexAccessed]);
}

TEST(TimeRuleShift, AShiftToATimeAFileTimeCannotHoldIsRefusedWhole) {
    const uint64_t last = 0x7FFFFFFFFFFFFFFFull;
    SYSTEMTIME shown;
    const FILETIME latest = FromTicks(last);
    ASSERT_TRUE(FileTimeToSystemTime(&latest, &shown));
    const FILETIME beyond = FromTicks(last + 1);
    EXPECT_FALSE(FileTimeToSystemTime(&beyond, &shown)) << "the system shows more than we allow";
    // Zero, 1601-01-01 00:00:00.0000000 UTC, is what SetFileTime takes as "leave this stamp".
    const struct {
        uint64_t from;
        int64_t shift;
        bool refused;
    } cases[] = {
        {0, -1, true},   {5, -5, true},          {6, -5, false},
        {last, 1, true}, {last - 10, 10, false}, {1000, INT64_MIN, true},
    };
    for (const auto &c : cases) {
        RuleChoice choice;
        choice.SetRule(RuleShift);
        choice.use[StampIndexCreated] = choice.use[StampIndexWritten] = true;
        choice.shift[StampIndexWritten] = c.shift;
        const FILETIME current[StampKinds] = {FromTicks(1), FromTicks(1), FromTicks(c.from)};
        const RulePlan plan = PlanItem(choice, current);
        EXPECT_EQ(c.refused, plan.outOfRange) << c.from << " " << c.shift;
        EXPECT_EQ(c.refused ? 1u << StampIndexWritten : 0u, plan.refused);
        EXPECT_EQ(!c.refused, plan.write[StampIndexCreated]) << "the item is written whole or not";
    }
}

TEST(TimeRuleText, AShiftReadsAsItsTwoLargestUnits) {
    const int64_t second = 10000000;
    const struct {
        int64_t ticks;
        const wchar_t *text;
    } cases[] = {
        {Hour, L"+1 h 0 min"},
        {-(3 * 24 * Hour + 2 * Hour + 5 * second), L"\u22123 d 2 h"},
        {125 * second, L"+2 min 5 s"},
        {30 * second, L"+30 s"},
        {second / 2, L"0"},
        {0, L"0"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(std::wstring(c.text), FormatShift(c.ticks)) << c.ticks;
}

} // namespace
