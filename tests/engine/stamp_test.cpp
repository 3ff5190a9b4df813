// Stamping one item: real files in a temporary folder, the real prompt answered on screen.
#include <gtest/gtest.h>

#include "app/job_context.h"
#include "app/text.h"
#include "common/test_support.h"
#include "engine/engine_test_support.h"
#include "engine/stamp.h"
#include "res/resource.h"
#include "ui/job_controller.h"

using namespace testsupport;
using namespace enginetest;

namespace {

const SYSTEMTIME createdLocal = MakeLocalTime(2003, 2, 1, 10, 20, 30);
const SYSTEMTIME modifiedLocal = MakeLocalTime(2004, 7, 15, 8, 9, 10);
const SYSTEMTIME accessedLocal = MakeLocalTime(2005, 12, 24, 23, 59, 58);
const FILETIME originalTime = MakeFileTime(1999, 5, 5, 5, 5, 5);

class StampItemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetJob();
        SetTarget(dir.Path(), L"*.*");
        jobPhase = PhaseApplying;
    }
    void TearDown() override { ResetJob(); }
    // A file with known old times.
    std::wstring OldFile(const std::wstring &name) {
        const std::wstring path = dir / name;
        WriteTextFile(path);
        WriteTimes(path, &originalTime, &originalTime, &originalTime);
        return path;
    }
    TempDir dir;
};

TEST(StampArgumentsTest, EachStampAloneAndAllThree) {
    const FILETIME c = {1, 0}, m = {2, 0}, a = {3, 0};
    StampArguments only = ChooseStampArguments(true, false, false, c, m, a);
    EXPECT_EQ(&c, only.created);
    EXPECT_EQ(nullptr, only.written);
    EXPECT_EQ(&KeepUnchanged, only.accessed);

    only = ChooseStampArguments(false, true, false, c, m, a);
    EXPECT_EQ(nullptr, only.created);
    EXPECT_EQ(&m, only.written);
    EXPECT_EQ(&KeepUnchanged, only.accessed);

    only = ChooseStampArguments(false, false, true, c, m, a);
    EXPECT_EQ(nullptr, only.created);
    EXPECT_EQ(nullptr, only.written);
    EXPECT_EQ(&a, only.accessed);

    const StampArguments all = ChooseStampArguments(true, true, true, c, m, a);
    EXPECT_EQ(&c, all.created);
    EXPECT_EQ(&m, all.written);
    EXPECT_EQ(&a, all.accessed);

    const StampArguments none = ChooseStampArguments(false, false, false, c, m, a);
    EXPECT_EQ(nullptr, none.created);
    EXPECT_EQ(nullptr, none.written);
    EXPECT_EQ(0xFFFFFFFFu, none.accessed->dwLowDateTime);
    EXPECT_EQ(0xFFFFFFFFu, none.accessed->dwHighDateTime);
}

TEST(StampArgumentsTest, OpenFlagsFollowTheFolderOptionAndLinks) {
    EXPECT_EQ(DWORD{FILE_ATTRIBUTE_NORMAL}, StampOpenFlags(false, FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(DWORD{FILE_FLAG_BACKUP_SEMANTICS}, StampOpenFlags(true, FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(DWORD{FILE_FLAG_BACKUP_SEMANTICS}, StampOpenFlags(true, FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(DWORD{FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT},
              StampOpenFlags(true, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    // A file that is a link is stamped as itself, never the file it points to.
    EXPECT_EQ(DWORD{FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT},
              StampOpenFlags(false, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_EQ(DWORD{FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT},
              StampOpenFlags(true, FILE_ATTRIBUTE_REPARSE_POINT));
}

// The writable route is only for a read-only item whose attribute-only open was refused.
TEST(StampArgumentsTest, WritableRouteOnlyForARefusedReadOnlyItem) {
    const struct {
        DWORD error, attributes;
        bool route;
    } cases[] = {
        {ERROR_ACCESS_DENIED, FILE_ATTRIBUTE_READONLY, true},
        {ERROR_ACCESS_DENIED, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, true},
        {ERROR_ACCESS_DENIED, FILE_ATTRIBUTE_ARCHIVE, false},
        {ERROR_SHARING_VIOLATION, FILE_ATTRIBUTE_READONLY, false},
        {ERROR_FILE_NOT_FOUND, FILE_ATTRIBUTE_READONLY, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.route, NeedsWritableRoute(c.error, c.attributes))
            << c.error << " " << c.attributes;
}

// A link is read as itself, the way it is stamped: it holds no photo of the item it points to.
TEST(StampArgumentsTest, OnlyAFileThatIsNoLinkHoldsADateInItsContent) {
    EXPECT_TRUE(HoldsContentDate(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(HoldsContentDate(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(HoldsContentDate(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT));
}

TEST(StampArgumentsTest, JoinedPathReportsItsWholeLength) {
    wchar_t path[PathCapacity];
    EXPECT_EQ(8u, JoinItemPath(path, PathCapacity, L"C:\\a", L"b.c"));
    EXPECT_STREQ(L"C:\\a\\b.c", path);
    EXPECT_EQ(6u, JoinItemPath(path, PathCapacity, L"C:\\", L"b.c"));
    EXPECT_STREQ(L"C:\\b.c", path);
    const std::wstring longName(300, L'n');
    EXPECT_EQ(305u, JoinItemPath(path, PathCapacity, L"C:\\a", longName.c_str()));
}

TEST_F(StampItemTest, OnlyTheModificationTimeChanges) {
    const std::wstring path = OldFile(L"m.txt");
    SetTimes(nullptr, &modifiedLocal, nullptr);
    EXPECT_TRUE(StampNamed(L"m.txt"));
    ItemTimes times;
    ASSERT_TRUE(ReadTimes(path, &times));
    EXPECT_TRUE(SameTime(LocalToUtc(modifiedLocal), times.written));
    EXPECT_TRUE(SameTime(originalTime, times.accessed));
}

TEST_F(StampItemTest, OnlyTheAccessTimeChanges) {
    const std::wstring path = OldFile(L"a.txt");
    SetTimes(nullptr, nullptr, &accessedLocal);
    EXPECT_TRUE(StampNamed(L"a.txt"));
    ItemTimes times;
    ASSERT_TRUE(ReadTimes(path, &times));
    EXPECT_TRUE(SameTime(LocalToUtc(accessedLocal), times.accessed));
    EXPECT_TRUE(SameTime(originalTime, times.written));
}

TEST_F(StampItemTest, OnlyTheCreationTimeLeavesTheOthersAlone) {
    const std::wstring path = OldFile(L"c.txt");
    SetTimes(&createdLocal, nullptr, nullptr);
    EXPECT_TRUE(StampNamed(L"c.txt"));
    ItemTimes times;
    ASSERT_TRUE(ReadTimes(path, &times));
    EXPECT_TRUE(SameTime(originalTime, times.written));
    EXPECT_TRUE(SameTime(originalTime, times.accessed));
}

TEST_F(StampItemTest, AllThreeTimesComeFromTheirOwnPickers) {
    const std::wstring path = OldFile(L"all.txt");
    SetTimes(&createdLocal, &modifiedLocal, &accessedLocal);
    EXPECT_TRUE(StampNamed(L"all.txt"));
    ItemTimes times;
    ASSERT_TRUE(ReadTimes(path, &times));
    EXPECT_TRUE(SameTime(LocalToUtc(modifiedLocal), times.written));
    EXPECT_TRUE(SameTime(LocalToUtc(accessedLocal), times.accessed));
}

// Each date is converted with its own offset: +2 in summer, +1 in winter, whatever today is.
TEST_F(StampItemTest, SummerAndWinterTimesLandWithTheOffsetOfTheirDate) {
    ASSERT_TRUE(RunsInWarsawTime());
    const struct {
        SYSTEMTIME local;
        FILETIME utc;
    } cases[] = {
        {MakeLocalTime(2004, 7, 15, 12, 0, 0), MakeFileTime(2004, 7, 15, 10, 0, 0)},
        {MakeLocalTime(2004, 1, 15, 12, 0, 0), MakeFileTime(2004, 1, 15, 11, 0, 0)},
        {MakeLocalTime(2010, 3, 28, 3, 30, 0), MakeFileTime(2010, 3, 28, 1, 30, 0)},
    };
    for (const auto &c : cases) {
        const std::wstring path = OldFile(L"season.txt");
        SetTimes(nullptr, &c.local, &c.local);
        EXPECT_TRUE(StampNamed(L"season.txt"));
        ItemTimes times;
        ASSERT_TRUE(ReadTimes(path, &times));
        EXPECT_TRUE(SameTime(c.utc, times.written)) << c.local.wMonth;
        EXPECT_TRUE(SameTime(c.utc, times.accessed)) << c.local.wMonth;
    }
}

int attributeWrites = 0;
BOOL WINAPI CountedSetAttributes(LPCWSTR path, DWORD attributes) {
    ++attributeWrites;
    return SetFileAttributesW(path, attributes);
}

// Opened for its attributes only, a read-only item needs no change of its attributes at all.
TEST_F(StampItemTest, ReadOnlyFileIsStampedAndItsAttributesNeverChange) {
    const std::wstring path = OldFile(L"ro.txt");
    const DWORD attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes));
    SetTimes(nullptr, &modifiedLocal, nullptr);
    attributeWrites = 0;
    stampCalls.setAttributes = CountedSetAttributes;
    EXPECT_TRUE(StampNamed(L"ro.txt"));
    stampCalls.setAttributes = SetFileAttributesW;
    EXPECT_EQ(0, attributeWrites);
    EXPECT_EQ(attributes, GetFileAttributesW(path.c_str()));
    ItemTimes times;
    ASSERT_TRUE(ReadTimes(path, &times));
    EXPECT_TRUE(SameTime(LocalToUtc(modifiedLocal), times.written));
}

TEST_F(StampItemTest, HiddenAndArchiveBitsStayAsTheyWere) {
    const std::wstring path = OldFile(L"h.txt");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    const DWORD before = GetFileAttributesW(path.c_str());
    ASSERT_TRUE(before & FILE_ATTRIBUTE_HIDDEN);
    SetTimes(nullptr, &modifiedLocal, nullptr);
    EXPECT_TRUE(StampNamed(L"h.txt"));
    EXPECT_EQ(before, GetFileAttributesW(path.c_str()));
}

// The open asks for the attributes only, which a program reading the file does not forbid.
TEST_F(StampItemTest, FileHeldOpenForReadingOnlyIsStamped) {
    const std::wstring path = OldFile(L"busy.txt");
    HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    SetTimes(nullptr, &modifiedLocal, nullptr);
    EXPECT_TRUE(StampNamed(L"busy.txt"));
    CloseHandle(holder);
    ItemTimes times;
    ASSERT_TRUE(ReadTimes(path, &times));
    EXPECT_TRUE(SameTime(LocalToUtc(modifiedLocal), times.written));
}

TEST_F(StampItemTest, RefusedTimeIsReportedWithItsCodeAndTheItemStaysAsItWas) {
    const std::wstring path = OldFile(L"refused.txt");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    const DWORD before = GetFileAttributesW(path.c_str());
    RefuseStamping refuse({L"refused.txt"}, ERROR_INVALID_PARAMETER);
    SetTimes(nullptr, &modifiedLocal, nullptr);
    DWORD attributesWhileShown = 0;
    PromptAnswerer answerer(Text(IDS_PRODUCT), IDOK, 1,
                            [&](HWND) { attributesWhileShown = GetFileAttributesW(path.c_str()); });
    EXPECT_TRUE(StampNamed(L"refused.txt"));
    const auto &seen = answerer.Seen();
    ASSERT_EQ(1u, seen.size());
    EXPECT_TRUE(seen[0].Shows(L"Kod błędu: 87"));
    EXPECT_TRUE(seen[0].Shows(path));
    EXPECT_EQ(before, attributesWhileShown);
    EXPECT_EQ(before, GetFileAttributesW(path.c_str()));
    EXPECT_EQ(PhaseApplying, jobPhase.load());
    ItemTimes times;
    ASSERT_TRUE(ReadTimes(path, &times));
    EXPECT_TRUE(SameTime(originalTime, times.written));
}

TEST_F(StampItemTest, StopInThePromptSetsThePhaseAndReportsFalse) {
    OldFile(L"held.txt");
    RefuseStamping refuse({L"held.txt"});
    SetTimes(nullptr, &modifiedLocal, nullptr);
    PromptAnswerer answerer(Text(IDS_PRODUCT), IDCANCEL);
    EXPECT_FALSE(StampNamed(L"held.txt"));
    ASSERT_EQ(1u, answerer.Seen().size());
    EXPECT_TRUE(answerer.Seen()[0].Shows(L"Kod błędu: 5"));
    EXPECT_EQ(PhaseStopped, jobPhase.load());
}

TEST_F(StampItemTest, VanishedItemIsReportedWithCodeTwo) {
    SetTimes(nullptr, &modifiedLocal, nullptr);
    PromptAnswerer answerer(Text(IDS_PRODUCT), IDOK);
    EXPECT_TRUE(StampNamed(L"gone.txt"));
    ASSERT_EQ(1u, answerer.Seen().size());
    EXPECT_TRUE(answerer.Seen()[0].Shows(L"Kod błędu: 2"));
    EXPECT_TRUE(answerer.Seen()[0].Shows(dir / L"gone.txt"));
}

TEST_F(StampItemTest, FolderIsOpenedWithBackupSemanticsAndStamped) {
    const std::wstring path = dir / L"sub";
    MakeFolder(path);
    WriteTimes(path, &originalTime, &originalTime, &originalTime);
    jobContext.applyToFolders = 1;
    SetTimes(nullptr, &modifiedLocal, &accessedLocal);
    EXPECT_TRUE(StampNamed(L"sub"));
    ItemTimes times;
    ASSERT_TRUE(ReadTimes(path, &times));
    EXPECT_TRUE(SameTime(LocalToUtc(modifiedLocal), times.written));
    EXPECT_TRUE(SameTime(LocalToUtc(accessedLocal), times.accessed));
}

TEST_F(StampItemTest, PathOf300CharactersIsStampedAndTheCutPathNeverUsed) {
    std::wstring folder = dir.Path();
    while (folder.size() < 200) {
        folder += L"\\deep-folder-name";
        MakeFolder(folder);
    }
    const size_t nameLength = 300 - folder.size() - 1;
    const std::wstring name(nameLength, L'q');
    const std::wstring cutPath = folder + L"\\" + name.substr(0, 259 - folder.size() - 1);
    ASSERT_EQ(259u, cutPath.size());
    WriteTextFile(cutPath);
    WriteTimes(cutPath, &originalTime, &originalTime, &originalTime);
    const std::wstring path = OldFile(folder.substr(dir.Path().size() + 1) + L"\\" + name);
    ASSERT_EQ(300u, path.size());
    CopyText(jobContext.pickedPath, PathCapacity, folder.c_str());
    SetTimes(nullptr, &modifiedLocal, nullptr);

    EXPECT_TRUE(StampNamed(name));
    ItemTimes times;
    ASSERT_TRUE(ReadTimes(path, &times));
    EXPECT_TRUE(SameTime(LocalToUtc(modifiedLocal), times.written));
    ASSERT_TRUE(ReadTimes(cutPath, &times));
    EXPECT_TRUE(SameTime(originalTime, times.written));
}

} // namespace

TEST_F(StampItemTest, AFileLinkIsStampedAsItselfNotItsTarget) {
    TempDir outside;
    const std::wstring target = outside / L"target.txt";
    WriteTextFile(target);
    WriteTimes(target, &originalTime, &originalTime, &originalTime);
    const std::wstring link = dir / L"link.txt";
    const DWORD attributes = CreateSymbolicLinkW(link.c_str(), target.c_str(), 0)
                                 ? GetFileAttributesW(link.c_str())
                                 : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "no file link can be made here: only the opening flags are tested";
    SetTimes(nullptr, &modifiedLocal, nullptr);
    EXPECT_TRUE(StampNamed(L"link.txt"));
    ItemTimes times;
    ASSERT_TRUE(ReadTimes(target, &times));
    EXPECT_TRUE(SameTime(originalTime, times.written)) << "the target outside was stamped";
}
