// Undo of the last apply: the record kept while stamping, the comparison that decides whether an
// item is put back, and apply-then-undo on real files through the controller.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/job_context.h"
#include "app/text.h"
#include "common/test_support.h"
#include "engine/engine_test_support.h"
#include "engine/job.h"
#include "engine/undo.h"
#include "engine/walk.h"
#include "res/resource.h"

using namespace testsupport;
using namespace enginetest;

namespace {

FILETIME Ticks(uint64_t value) {
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

TEST(StillCarries, ComparesOnlyTheStampsThatWereSet) {
    const ItemStamps applied = {Ticks(100), Ticks(200), Ticks(300)};
    struct Case {
        ItemStamps now;
        uint32_t stamps;
        bool carries;
    } cases[] = {
        {{Ticks(100), Ticks(200), Ticks(300)}, StampCreated | StampAccessed | StampWritten, true},
        // Wine reports the last-write time as the creation time: an unset creation stamp is
        // never compared.
        {{Ticks(300), Ticks(200), Ticks(300)}, StampAccessed | StampWritten, true},
        {{Ticks(300), Ticks(200), Ticks(300)}, StampCreated | StampWritten, false},
        {{Ticks(100), Ticks(201), Ticks(300)}, StampAccessed, false},
        {{Ticks(100), Ticks(201), Ticks(300)}, StampWritten | ItemIsFolder, true},
        {{Ticks(100), Ticks(200), Ticks(301)}, StampWritten, false},
        {{Ticks(1), Ticks(2), Ticks(3)}, ItemIsFolder, false}, // nothing was set
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.carries, StillCarries(c.now, applied, c.stamps)) << c.stamps;
}

TEST(UndoRecordMemory, HoldsAHundredThousandItemsWellBelowFortyMebibytes) {
    UndoRecord record;
    record.Begin(L"D:\\Photos", SYSTEMTIME{});
    const ItemStamps before = {Ticks(1), Ticks(2), Ticks(3)};
    const ItemStamps after = {Ticks(4), Ticks(5), Ticks(6)};
    for (uint32_t i = 0; i < 100000; ++i) {
        const std::wstring path = L"2024\\holiday " + std::to_wstring(i / 1000) + L"\\IMG_" +
                                  std::to_wstring(i) + L".jpg";
        ASSERT_TRUE(record.Add(path.c_str(), path.size(), before, after, StampWritten));
    }
    EXPECT_EQ(100000u, record.Count());
    EXPECT_LT(record.BytesReserved(), 40u << 20);
    size_t offset = 0;
    uint32_t seen = 0;
    while (const UndoEntry *entry = record.Next(&offset)) {
        const std::wstring expected = L"2024\\holiday " + std::to_wstring(seen / 1000) + L"\\IMG_" +
                                      std::to_wstring(seen) + L".jpg";
        if (expected != entry->Path() || entry->pathLength != expected.size())
            FAIL() << "entry " << seen << " differs";
        ++seen;
    }
    EXPECT_EQ(100000u, seen);
    record.Begin(L"E:\\", SYSTEMTIME{});
    EXPECT_EQ(0u, record.Count()) << "a new apply pass replaces the record";
    EXPECT_STREQ(L"E:\\", record.Folder());
}

// Stop pressed while the undo is at this item.
std::wstring stopAt;
void PressStopAtItem(const wchar_t *name) {
    if (jobPhase == PhaseApplying && stopAt == name) {
        jobPhase = PhaseStopped;
        StartJobThread();
    }
}

class UndoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetJob();
        undoRecord.Clear();
        jobContext.dialog = dialog.Window();
        const SYSTEMTIME modified = MakeLocalTime(2020, 6, 7, 8, 9, 10);
        const SYSTEMTIME accessed = MakeLocalTime(2021, 2, 3, 4, 5, 6);
        // The creation time is left alone: Wine cannot keep one of its own.
        SetTimes(nullptr, &modified, &accessed);
        appliedWritten = LocalToUtc(modified);
        // Every item its own times, to the 100 ns.
        const wchar_t *names[] = {L"a.txt", L"b.txt", L"ro.txt", L"sub\\c.txt", L"sub\\d.txt"};
        for (size_t i = 0; i < 5; ++i) {
            WriteTextFile(dir / names[i]);
            Item item = {names[i], Ticks(125000000000000000ull + i * 10000019 + 7),
                         Ticks(126000000000000000ull + i * 20000003 + 3)};
            ASSERT_TRUE(WriteTimes(dir / item.name, nullptr, &item.accessed, &item.written));
            items.push_back(item);
        }
        ASSERT_TRUE(SetFileAttributesW((dir / L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
        SetTarget(dir.Path(), L"*.txt");
        jobContext.includeSubfolders = 1;
    }
    void TearDown() override {
        beforeWalkItem = nullptr;
        EndJobAndWait();
        SetFileAttributesW((dir / L"ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
        undoRecord.Clear();
        ResetJob();
    }
    void Run(int32_t mode) {
        jobContext.applyMode = mode;
        StartJobThread();
        ASSERT_TRUE(WaitForControllers());
    }
    bool Restored(const std::wstring &name) {
        for (const Item &item : items) {
            ItemTimes times;
            if (item.name == name)
                return ReadTimes(dir / name, &times) && SameTime(times.written, item.written) &&
                       SameTime(times.accessed, item.accessed);
        }
        return false;
    }
    bool Applied(const std::wstring &name) {
        ItemTimes times;
        return ReadTimes(dir / name, &times) && SameTime(times.written, appliedWritten);
    }
    std::wstring Result(unsigned restored, unsigned skipped) {
        wchar_t text[128];
        FormatText(text, 128, LoadText(IDS_UNDO_RESULT), restored, skipped);
        return text;
    }

    struct Item {
        std::wstring name;
        FILETIME written, accessed;
    };
    std::vector<Item> items;
    FILETIME appliedWritten = {};
    TempDir dir;
    TestDialog dialog;
};

TEST_F(UndoTest, ApplyThenUndoPutsEveryItemBackToTheHundredNanoseconds) {
    Run(1);
    for (const Item &item : items)
        ASSERT_TRUE(Applied(item.name)) << "not stamped";
    EXPECT_EQ(5u, undoRecord.Count());
    Run(0);
    EXPECT_EQ(5u, undoRecord.Count()) << "a count pass leaves the record alone";
    Run(UndoMode);
    for (const Item &item : items)
        EXPECT_TRUE(Restored(item.name)) << "not restored";
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
              GetFileAttributesW((dir / L"ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0u, undoRecord.Count()) << "a full undo leaves nothing to undo";
    EXPECT_EQ(Result(5, 0), dialog.Text(IDC_STATUS));
    EXPECT_EQ(PhaseIdle, jobPhase.load());
}

TEST_F(UndoTest, AnItemChangedSinceTheApplyIsSkippedAndLeftAsItIs) {
    Run(1);
    const FILETIME theirs = MakeFileTime(2022, 1, 1, 0, 0, 0);
    ASSERT_TRUE(WriteTimes(dir / L"b.txt", nullptr, nullptr, &theirs));
    Run(UndoMode);
    ItemTimes times;
    ASSERT_TRUE(ReadTimes(dir / L"b.txt", &times));
    EXPECT_TRUE(SameTime(theirs, times.written));
    EXPECT_TRUE(Restored(L"a.txt"));
    EXPECT_EQ(Result(4, 1), dialog.Text(IDC_STATUS));
}

TEST_F(UndoTest, AStoppedUndoKeepsTheRecordAndASecondOneFinishesIt) {
    Run(1);
    size_t offset = 0;
    stopAt = undoRecord.Next(&offset)->Path();
    // Stop is pressed while the first item is restored: that one is finished, no other starts.
    beforeWalkItem = PressStopAtItem;
    Run(UndoMode);
    beforeWalkItem = nullptr;
    const unsigned first = undoRestored;
    EXPECT_EQ(1u, first);
    EXPECT_EQ(5u, undoRecord.Count());
    Run(UndoMode);
    for (const Item &item : items)
        EXPECT_TRUE(Restored(item.name));
    EXPECT_EQ(Result(5 - first, first), dialog.Text(IDC_STATUS));
    EXPECT_EQ(0u, undoRecord.Count());
}

} // namespace
