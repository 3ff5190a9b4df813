// Applying a rule of each item's own through the controller on real files: a shift, the copy
// rules, the preview that lists what an apply then does, and undo after it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <vector>
#include <string>

#include "app/job_context.h"
#include "app/text.h"
#include "common/test_support.h"
#include "engine/engine_test_support.h"
#include "ui/job_controller.h"
#include "engine/preview.h"
#include "ui/prompt.h"
#include "engine/time_rule.h"
#include "engine/undo.h"
#include "native/file_builders.h"
#include "res/resource.h"

using namespace testsupport;
using namespace enginetest;

namespace {

constexpr int64_t Hour = 36000000000;

FILETIME Moved(const FILETIME &time, int64_t ticks) {
    return FromTicks(Ticks(time) + ticks);
}

// A tree of items with times of their own, in winter and in summer, to the 100 ns; the pickers
// choose the write and access stamps (Wine keeps no creation time of its own).
class RuleApplyTest : public JobFixture {
  protected:
    void SetUp() override {
        JobFixture::SetUp();
        if (HasFatalFailure())
            return;
        const SYSTEMTIME any = MakeLocalTime(2020, 6, 7, 8, 9, 10);
        SetTimes(nullptr, &any, &any);
        const struct {
            const wchar_t *name;
            FILETIME written, accessed;
        } items[] = {
            {L"january.txt", Moved(MakeFileTime(2023, 1, 15, 9, 0, 0), 1234567),
             MakeFileTime(2023, 2, 1, 0, 0, 1)},
            {L"july.txt", Moved(MakeFileTime(2023, 7, 15, 9, 0, 0), 7654321),
             MakeFileTime(2023, 8, 1, 0, 0, 3)},
            {L"sub\\october.txt", MakeFileTime(2022, 10, 30, 0, 30, 0),
             MakeFileTime(2022, 11, 2, 0, 0, 5)},
        };
        for (const auto &item : items) {
            WriteTextFile(dir / item.name);
            ASSERT_TRUE(WriteTimes(dir / item.name, nullptr, &item.accessed, &item.written));
            ReadTimes(dir / item.name, &before[item.name]);
        }
        SetTarget(dir.Path(), L"*.txt");
        jobContext.includeSubfolders = 1;
    }
    bool AsBefore(const std::wstring &name) {
        const ItemTimes now = Now(name);
        return SameTime(now.written, before[name].written) &&
               SameTime(now.accessed, before[name].accessed);
    }
    std::map<std::wstring, ItemTimes> before;
};

TEST_F(RuleApplyTest, AShiftMovesEveryItemByTheSameElapsedTimeInWinterAndSummerAndUndoPutsItBack) {
    jobContext.timeRule = RuleShift;
    jobContext.shift[StampIndexWritten].Store(Hour);
    jobContext.shift[StampIndexAccessed].Store(-2 * Hour);
    Run(1);
    for (const auto &item : before) {
        const ItemTimes now = Now(item.first);
        EXPECT_EQ(Ticks(item.second.written) + Hour, Ticks(now.written)) << item.first.c_str();
        EXPECT_EQ(Ticks(item.second.accessed) - 2 * Hour, Ticks(now.accessed));
    }
    wchar_t status[128];
    FormatText(status, 128, LoadText(IDS_STATUS_CHANGED), 3u, 3u);
    EXPECT_EQ(status, dialog.Text(IDC_STATUS));
    Run(UndoMode);
    for (const auto &item : before)
        EXPECT_TRUE(AsBefore(item.first)) << item.first.c_str();
}

TEST_F(RuleApplyTest, CopyRulesGiveEachItemItsOwnOtherStampAsItWasBefore) {
    // Access := modification, and modification onto itself is left alone.
    jobContext.timeRule = RuleCopyModified;
    Run(1);
    for (const auto &item : before) {
        const ItemTimes now = Now(item.first);
        EXPECT_TRUE(SameTime(item.second.written, now.written)) << item.first.c_str();
        EXPECT_TRUE(SameTime(item.second.written, now.accessed)) << item.first.c_str();
    }
    // Modification := creation as the folder listed it before the apply.
    std::map<std::wstring, FILETIME> listed;
    for (const auto &item : before) {
        WIN32_FIND_DATAW found;
        FindClose(FindFirstFileW((dir / item.first).c_str(), &found));
        listed[item.first] = found.ftCreationTime;
    }
    jobContext.useAccessed = 0;
    jobContext.timeRule = RuleCopyCreated;
    Run(1);
    for (const auto &item : before)
        EXPECT_TRUE(SameTime(listed[item.first], Now(item.first).written)) << item.first.c_str();
}

TEST_F(RuleApplyTest, ThePreviewChangesNothingAndListsExactlyWhatTheApplyThenDoes) {
    jobContext.timeRule = RuleShift;
    jobContext.shift[StampIndexWritten].Store(-3 * 24 * Hour - 7);
    jobContext.applyToFolders = 1;
    Run(PreviewMode);
    for (const auto &item : before)
        EXPECT_TRUE(AsBefore(item.first)) << item.first.c_str();
    ASSERT_EQ(4u, previewList.Size()) << "three files and the sub-folder";
    EXPECT_EQ(4u, previewList.Changing());
    EXPECT_EQ(3u, jobContext.deepCounts.files.load()) << "a preview counts as a count does";
    const uint8_t stamps = (1u << StampIndexWritten) | (1u << StampIndexAccessed);
    EXPECT_EQ(stamps, previewList.Stamps());
    Run(1);
    for (size_t i = 0; i < previewList.Size(); ++i) {
        const PreviewRow &row = previewList.Row(i);
        const ItemTimes now = Now(row.path);
        EXPECT_TRUE(SameTime(row.next[StampIndexWritten], now.written)) << row.path;
        EXPECT_EQ(Ticks(row.now[StampIndexWritten]) - 3 * 24 * Hour - 7,
                  Ticks(row.next[StampIndexWritten]));
        if (!(row.flags & PreviewFolder)) { // reading a folder moves its access time
            EXPECT_TRUE(SameTime(row.next[StampIndexAccessed], now.accessed)) << row.path;
        }
    }
}

std::vector<std::string> Lines(const std::string &csv) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = csv.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        lines.push_back(csv.substr(start, end - start));
    return lines;
}

TEST_F(RuleApplyTest, TheSavedListWritesEachTimeWithItsOffsetAndFractionInTheLocalesSeparator) {
    EXPECT_EQ(L';', ListSeparator()) << "a Polish spreadsheet takes semicolons";
    jobContext.includeSubfolders = 0;
    jobContext.timeRule = RuleShift;
    jobContext.shift[StampIndexWritten].Store(-3 * 24 * Hour - 7);
    Run(PreviewMode);
    ListTexts texts;
    texts.header = {L"Item", L"a;b", L"c\"d"};
    texts.separator = L';';
    std::vector<std::string> lines = Lines(PreviewCsv(previewList, texts));
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("\xEF\xBB\xBFItem;\"a;b\";\"c\"\"d\"", lines[0]);
    std::sort(lines.begin() + 1, lines.end()); // in the order the folder lists them
    EXPECT_EQ("january.txt;2023-01-15T10:00:00.1234567+01:00;2023-01-12T10:00:00.1234560+01:00;"
              "2023-02-01T01:00:01+01:00;2023-02-01T01:00:01+01:00",
              lines[1]);
    EXPECT_EQ("july.txt;2023-07-15T11:00:00.7654321+02:00;2023-07-12T11:00:00.7654314+02:00;"
              "2023-08-01T02:00:03+02:00;2023-08-01T02:00:03+02:00",
              lines[2]);
    // The two 02:30 of an autumn night read apart.
    EXPECT_EQ(L"2023-10-29T02:30:00+02:00", IsoLocalTime(MakeFileTime(2023, 10, 29, 0, 30, 0)));
    EXPECT_EQ(L"2023-10-29T02:30:00+01:00", IsoLocalTime(MakeFileTime(2023, 10, 29, 1, 30, 0)));
}

TEST_F(RuleApplyTest, ATimeThatCannotBeWrittenIsMarkedInThePreviewThenAnItemErrorContinueSkips) {
    // 310 years back leaves 1601 behind for an item of 1905 only.
    const FILETIME early = MakeFileTime(1905, 1, 2, 0, 0, 0);
    ASSERT_TRUE(WriteTimes(dir / L"july.txt", nullptr, nullptr, &early));
    ASSERT_TRUE(SameTime(early, Now(L"july.txt").written));
    jobContext.useAccessed = 0;
    jobContext.timeRule = RuleShift;
    jobContext.shift[StampIndexWritten].Store(-310 * 8766 * Hour);
    Run(PreviewMode);
    EXPECT_EQ(1u, previewList.OutOfRange());
    EXPECT_EQ(2u, previewList.Changing());
    ListTexts texts;
    texts.header = {L"Item", L"now", L"new"};
    texts.outOfRange = L"(out of range)";
    const std::vector<std::string> lines = Lines(PreviewCsv(previewList, texts));
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(),
                                     "july.txt,1905-01-02T01:00:00+01:00,(out of range)"));

    PromptAnswerer answerer(Text(IDS_PRODUCT), IDOK);
    Run(1);
    const auto &seen = answerer.Seen();
    ASSERT_EQ(1u, seen.size());
    EXPECT_TRUE(seen[0].Shows(LoadText(IDS_SHIFT_OUT_OF_RANGE)));
    EXPECT_TRUE(SameTime(early, Now(L"july.txt").written));
    wchar_t status[128];
    FormatText(status, 128, LoadText(IDS_STATUS_CHANGED), 2u, 3u);
    EXPECT_EQ(status, dialog.Text(IDC_STATUS)) << "the other items are stamped";
}

TEST_F(RuleApplyTest,
       DateTakenStampsEachPhotoAndVideoWithItsOwnDateAndLeavesTheRestAndAccessTimes) {
    const FILETIME epoch1904 = MakeFileTime(1904, 1, 1, 0, 0, 0),
                   clipTaken = MakeFileTime(2020, 5, 6, 7, 8, 9);
    const Bytes photo = Jpeg({ExifSegment(Tiff(false, {{OriginalTag, "2024:01:31 23:59:59"}}))});
    const Bytes clip = Movie(1, (Ticks(clipTaken) - Ticks(epoch1904)) / 10000000, 4096);
    const std::map<std::wstring, FILETIME> taken = {
        {L"photo.jpg", LocalToUtc(MakeLocalTime(2024, 1, 31, 23, 59, 59))},
        {L"sub\\clip.mp4", clipTaken},
    };
    for (const auto &file :
         {std::make_pair(L"photo.jpg", photo), std::make_pair(L"sub\\clip.mp4", clip)}) {
        WriteTextFile(dir / file.first, std::string(file.second.begin(), file.second.end()));
        const FILETIME old = MakeFileTime(2001, 2, 3, 4, 5, 6);
        ASSERT_TRUE(WriteTimes(dir / file.first, nullptr, &old, &old));
        ReadTimes(dir / file.first, &before[file.first]);
    }
    SetTarget(dir.Path(), L"*");
    jobContext.useAccessed = 0;
    jobContext.timeRule = RuleDateTaken;
    Run(PreviewMode);
    for (const auto &item : before)
        EXPECT_TRUE(AsBefore(item.first)) << "the preview changed " << item.first.c_str();
    EXPECT_EQ(3u, previewList.Undated());
    Run(1);
    for (const auto &item : before) {
        const auto photo = taken.find(item.first);
        if (photo == taken.end()) {
            EXPECT_TRUE(AsBefore(item.first)) << item.first.c_str();
            continue;
        }
        const ItemTimes now = Now(item.first);
        EXPECT_TRUE(SameTime(photo->second, now.written)) << item.first.c_str();
        EXPECT_TRUE(SameTime(item.second.accessed, now.accessed)) << "access time moved";
    }
    EXPECT_EQ(3u, undatedItems.load());
    Run(UndoMode);
    for (const auto &item : before)
        EXPECT_TRUE(AsBefore(item.first)) << item.first.c_str();
}

TEST_F(RuleApplyTest, DateTakenClearsAReadOnlyBitForTheMomentWhereTheSystemInsists) {
    const Bytes photo = Jpeg({ExifSegment(Tiff(false, {{OriginalTag, "2024:01:31 23:59:59"}}))});
    WriteTextFile(dir / L"ro.jpg", std::string(photo.begin(), photo.end()));
    ASSERT_TRUE(SetFileAttributesW((dir / L"ro.jpg").c_str(), FILE_ATTRIBUTE_READONLY));
    SetTarget(dir.Path(), L"ro.jpg");
    jobContext.useAccessed = 0;
    jobContext.timeRule = RuleDateTaken;
    const RefuseReadOnlyOpens refuse;
    PromptAnswerer answerer(Text(IDS_PRODUCT), IDOK, 1, nullptr, 1000);
    Run(PreviewMode);
    Run(1);
    EXPECT_TRUE(answerer.Seen().empty()) << "the photo was reported";
    EXPECT_EQ(1u, previewList.Changing());
    EXPECT_TRUE(
        SameTime(LocalToUtc(MakeLocalTime(2024, 1, 31, 23, 59, 59)), Now(L"ro.jpg").written));
    EXPECT_TRUE(GetFileAttributesW((dir / L"ro.jpg").c_str()) & FILE_ATTRIBUTE_READONLY);
}

} // namespace
