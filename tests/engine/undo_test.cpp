// Undo of the last apply: the record kept while stamping, the comparison that decides whether an
// item is put back, and apply-then-undo on real files through the controller.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/job_context.h"
#include "app/text.h"
#include "common/test_support.h"
#include "engine/engine_test_support.h"
#include "ui/job_controller.h"
#include "engine/undo.h"
#include "engine/walk.h"
#include "res/resource.h"
#include "ui/undo_command.h"

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

// A path of 30 characters for item i.
std::wstring ItemPath(uint32_t i) {
    wchar_t path[32];
    FormatText(path, 32, L"2024\\holiday %03u\\IMG_%05u.jpg", i / 1000, i);
    return path;
}

TEST(UndoRecordMemory, HoldsAHundredThousandItemsBelowSixteenMebibytesWithoutMovingAny) {
    UndoHistory history;
    history.Begin(L"D:\\Photos", SYSTEMTIME{});
    const ItemStamps before = {Ticks(1), Ticks(2), Ticks(3)};
    const ItemStamps after = {Ticks(4), Ticks(5), Ticks(6)};
    ASSERT_EQ(30u, ItemPath(0).size());
    for (uint32_t i = 0; i < 100000; ++i)
        ASSERT_TRUE(history.Add(ItemPath(i).c_str(), 30, before, after, StampWritten));
    history.End();
    const UndoRecord *record = history.Newest();
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(100000u, record->Count());
    EXPECT_LT(history.BytesReserved(), 16u << 20);
    UndoCursor cursor;
    uint32_t seen = 0;
    while (const UndoEntry *entry = record->Next(&cursor)) {
        if (ItemPath(seen) != entry->Path() || entry->pathLength != 30)
            FAIL() << "entry " << seen << " differs";
        ++seen;
    }
    EXPECT_EQ(100000u, seen);
}

// The dialog reads the newest record (its system menu, the question) while the job threads begin,
// fill, end and drop records, the oldest going as the budget is spent: what it reads is always
// one whole record, never one being freed.
TEST(UndoHistoryThreads, ASummaryReadWhileRecordsComeAndGoIsAlwaysWhole) {
    UndoHistory history;
    history.SetBudget(2 * UndoRecord::BlockSize);
    const ItemStamps times = {Ticks(1), Ticks(2), Ticks(3)};
    std::atomic<bool> done{false};
    std::atomic<uint32_t> reads{0};
    std::thread job([&] {
        // Until the dialog side has read often enough, however the threads are scheduled.
        for (uint32_t pass = 0; reads < 20000 && pass < 2000000; ++pass) {
            history.Begin((L"C:\\folder of pass " + std::to_wstring(pass)).c_str(), SYSTEMTIME{});
            for (uint32_t i = 0; i <= pass % 7; ++i)
                history.Add(L"item.txt", 8, times, times, StampWritten);
            history.End();
            if (pass % 3 == 0)
                history.DropNewest();
        }
        done = true;
    });
    uint32_t torn = 0;
    while (!done) {
        UndoSummary summary;
        if (!history.NewestSummary(&summary))
            continue;
        ++reads;
        const size_t at = summary.folder.rfind(L' ');
        const uint32_t pass =
            at == std::wstring::npos ? 0 : std::stoul(summary.folder.substr(at + 1));
        if (summary.folder.compare(0, 18, L"C:\\folder of pass ") != 0 ||
            summary.count != pass % 7 + 1)
            ++torn;
    }
    job.join();
    EXPECT_GE(reads.load(), 20000u);
    EXPECT_EQ(0u, torn);
}

TEST(UndoHistoryBudget, TheOldestRecordsGiveWayAndWhatStillDoesNotFitIsCountedLost) {
    UndoHistory history;
    history.SetBudget(2 * UndoRecord::BlockSize);
    const ItemStamps times = {};
    history.Begin(L"C:\\old", SYSTEMTIME{});
    ASSERT_TRUE(history.Add(L"a", 1, times, times, StampWritten));
    history.End();
    history.Begin(L"C:\\new", SYSTEMTIME{});
    uint32_t added = 0;
    while (history.Add(ItemPath(added).c_str(), 30, times, times, StampWritten)) {
        ++added;
        if (added == 1) {
            EXPECT_EQ(2u, history.Records()) << "the older record went before it had to";
        }
    }
    history.End();
    ASSERT_EQ(1u, history.Records());
    const UndoRecord *record = history.Newest();
    EXPECT_STREQ(L"C:\\new", record->Folder());
    EXPECT_EQ(added, record->Count());
    EXPECT_EQ(1u, record->Lost());
    EXPECT_EQ(2 * UndoRecord::BlockSize, history.BytesReserved()) << "one block, not two";
}

TEST(UndoHistoryBudget, APassThatStampedNothingLeavesNoRecord) {
    UndoHistory history;
    const ItemStamps times = {};
    history.Begin(L"C:\\a", SYSTEMTIME{});
    history.Add(L"x", 1, times, times, StampWritten);
    history.End();
    history.Begin(L"C:\\b", SYSTEMTIME{});
    history.End();
    ASSERT_EQ(1u, history.Records());
    EXPECT_STREQ(L"C:\\a", history.Newest()->Folder());
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
        undoHistory.Clear();
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
        undoHistory.Clear();
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
    uint32_t NewestCount() {
        const UndoRecord *record = undoHistory.Newest();
        return record ? record->Count() : 0;
    }
    void ApplyAt(const SYSTEMTIME &modified) {
        SetTimes(nullptr, &modified, nullptr);
        Run(1);
    }
    bool AllRestored() {
        for (const Item &item : items)
            if (!Restored(item.name))
                return false;
        return true;
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
    EXPECT_EQ(5u, NewestCount());
    Run(0);
    EXPECT_EQ(1u, undoHistory.Records()) << "a count pass leaves the history alone";
    Run(UndoMode);
    for (const Item &item : items)
        EXPECT_TRUE(Restored(item.name)) << "not restored";
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
              GetFileAttributesW((dir / L"ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0u, undoHistory.Records()) << "a full undo leaves nothing to undo";
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
    UndoCursor cursor;
    stopAt = undoHistory.Newest()->Next(&cursor)->Path();
    // Stop is pressed while the first item is restored: that one is finished, no other starts.
    beforeWalkItem = PressStopAtItem;
    Run(UndoMode);
    beforeWalkItem = nullptr;
    const unsigned first = undoRestored;
    EXPECT_EQ(1u, first);
    EXPECT_EQ(Result(1, 0), dialog.Text(IDC_STATUS)) << "a stopped undo says what it did";
    EXPECT_EQ(5u, NewestCount());
    Run(UndoMode);
    for (const Item &item : items)
        EXPECT_TRUE(Restored(item.name));
    EXPECT_EQ(Result(5 - first, first), dialog.Text(IDC_STATUS));
    EXPECT_EQ(0u, undoHistory.Records());
}

TEST_F(UndoTest, AllThreeStampsSetUndoWhereTheCreationTimeReadsBackAsAnother) {
    const SYSTEMTIME created = MakeLocalTime(2019, 1, 2, 3, 4, 5);
    const SYSTEMTIME modified = MakeLocalTime(2020, 6, 7, 8, 9, 10);
    const SYSTEMTIME accessed = MakeLocalTime(2021, 2, 3, 4, 5, 6);
    SetTimes(&created, &modified, &accessed);
    Run(1);
    Run(UndoMode);
    EXPECT_TRUE(AllRestored());
    EXPECT_EQ(Result(5, 0), dialog.Text(IDC_STATUS));
}

TEST_F(UndoTest, EachUndoTakesBackTheApplyBeforeAndAnEmptyApplyAddsNothing) {
    ApplyAt(MakeLocalTime(2020, 6, 7, 8, 9, 10));
    ApplyAt(MakeLocalTime(2023, 7, 1, 12, 0, 0));
    CopyText(jobContext.pattern, PatternCapacity, L"*.nomatch");
    Run(1);
    CopyText(jobContext.pattern, PatternCapacity, L"*.txt");
    ASSERT_EQ(2u, undoHistory.Records());
    Run(UndoMode);
    for (const Item &item : items)
        EXPECT_TRUE(Applied(item.name)) << "the first apply's time is back";
    Run(UndoMode);
    EXPECT_TRUE(AllRestored());
    EXPECT_EQ(0u, undoHistory.Records());
}

TEST_F(UndoTest, AReplacedApplyKeepsWhatItStamped) {
    const SYSTEMTIME first = MakeLocalTime(2020, 6, 7, 8, 9, 10);
    Run(0); // counted, so the apply starts at once
    {
        SlowItem slow(L"b.txt", 1000);
        SetTimes(nullptr, &first, nullptr);
        jobContext.applyMode = 1;
        StartJobThread();
        ASSERT_TRUE(PumpUntil([] { return SlowItem::Inside(); }, 10000));
        // A new Apply with another time while the first is held in b.txt.
        ApplyAt(MakeLocalTime(2023, 7, 1, 12, 0, 0));
    }
    EXPECT_EQ(2u, undoHistory.Records());
    Run(UndoMode);
    Run(UndoMode);
    EXPECT_TRUE(AllRestored());
}

TEST_F(UndoTest, AFolderGoneSinceTheApplyIsReportedOnce) {
    Run(1);
    ASSERT_TRUE(MoveFileW((dir / L"sub").c_str(), (dir / L"moved").c_str()));
    // A second prompt would hold the undo until the wait for it gives up.
    PromptAnswerer answerer(Text(IDS_PRODUCT), IDOK);
    Run(UndoMode);
    const auto &seen = answerer.Seen();
    ASSERT_EQ(1u, seen.size());
    EXPECT_TRUE(seen[0].Shows(L"Plik: " + dir / L"sub"));
    EXPECT_EQ(Result(3, 2), dialog.Text(IDC_STATUS));
}

TEST_F(UndoTest, ATargetFolderGoneIsOneNoticeAndTheRecordStays) {
    Run(1);
    TempDir elsewhere;
    const std::wstring moved = elsewhere / L"moved";
    ASSERT_TRUE(MoveFileW(dir.Path().c_str(), moved.c_str()));
    PromptAnswerer answerer(Text(IDS_PRODUCT), IDOK);
    EXPECT_FALSE(UndoFolderPresent());
    EXPECT_EQ(1u, answerer.Seen().size());
    EXPECT_EQ(5u, NewestCount());
    MoveFileW(moved.c_str(), dir.Path().c_str());
}

// A volume that keeps write times to 2 s and access times as dates: the test script mounts a
// FAT32 image and names its folder.
TEST_F(UndoTest, UndoRestoresEveryItemOnAVolumeThatRoundsTimes) {
    wchar_t fat[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"VANDREL_FAT_DIR", fat, MAX_PATH))
        GTEST_SKIP() << "no FAT volume here (FUSE cannot be used): not tested";
    const std::wstring folder = std::wstring(fat) + L"\\undo-" + std::to_wstring(GetTickCount());
    MakeFolder(folder);
    std::vector<ItemTimes> before(3);
    for (int i = 0; i < 3; ++i) {
        const std::wstring name = folder + L"\\f" + std::to_wstring(i) + L".txt";
        WriteTextFile(name);
        const FILETIME old = MakeFileTime(2015, 3, 4, 5, 6, static_cast<WORD>(8 + 2 * i));
        ASSERT_TRUE(WriteTimes(name, nullptr, &old, &old));
        ASSERT_TRUE(ReadTimes(name, &before[i]));
    }
    SetTarget(folder, L"*.txt");
    const SYSTEMTIME odd = MakeLocalTime(2022, 9, 10, 11, 12, 13);
    SetTimes(nullptr, &odd, &odd);
    Run(1);
    Run(UndoMode);
    for (int i = 0; i < 3; ++i) {
        ItemTimes now;
        ASSERT_TRUE(ReadTimes(folder + L"\\f" + std::to_wstring(i) + L".txt", &now));
        EXPECT_TRUE(SameTime(before[i].written, now.written)) << i;
        EXPECT_TRUE(SameTime(before[i].accessed, now.accessed)) << i;
    }
    EXPECT_EQ(Result(3, 0), dialog.Text(IDC_STATUS));
    RemoveTree(folder);
}

} // namespace
