// The folder walk on real folder trees: counts, the order of stamping, what is never walked.
#include <gtest/gtest.h>

#include <string>

#include "app/job_context.h"
#include "app/text.h"
#include "common/test_support.h"
#include "engine/engine_test_support.h"
#include "engine/walk.h"
#include "res/resource.h"
#include "ui/job_controller.h"

using namespace testsupport;
using namespace enginetest;

namespace {

const SYSTEMTIME newLocal = MakeLocalTime(2002, 6, 7, 8, 9, 10);
const FILETIME oldTime = MakeFileTime(1998, 1, 2, 3, 4, 5);

TEST(WalkRulesTest, WhichSubFoldersAreEntered) {
    EXPECT_TRUE(EntersFolder(true, FILE_ATTRIBUTE_DIRECTORY, 20));
    EXPECT_FALSE(EntersFolder(false, FILE_ATTRIBUTE_DIRECTORY, 20));
    // Folder links (junctions, symbolic links) are counted and stamped, never entered.
    EXPECT_FALSE(EntersFolder(true, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 20));
    // "folder\*" has to fit in the 32,767 characters of an extended-length path.
    EXPECT_TRUE(EntersFolder(true, FILE_ATTRIBUTE_DIRECTORY, 300));
    EXPECT_TRUE(EntersFolder(true, FILE_ATTRIBUTE_DIRECTORY, 32765));
    EXPECT_FALSE(EntersFolder(true, FILE_ATTRIBUTE_DIRECTORY, 32766));
}

class WalkTest : public ::testing::Test, protected OldItemsFolder {
  protected:
    WalkTest() : OldItemsFolder(oldTime, newLocal) {}
    void SetUp() override {
        ResetJob();
        SetTimes(nullptr, &newLocal, &newLocal);
    }
    void TearDown() override { ResetJob(); }

    // The example tree: a.txt, b, x\d.txt.
    void MakeExampleTree() {
        MakeOld(L"a.txt");
        MakeOld(L"b");
        MakeOld(L"x\\d.txt");
        WriteTimes(dir / L"x", &oldTime, &oldTime, &oldTime);
    }
    void Walk(const wchar_t *pattern, bool deep, bool apply, bool folders,
              const std::wstring &target = std::wstring()) {
        SetTarget(target.empty() ? dir.Path() : target, pattern);
        jobContext.includeSubfolders = deep;
        jobContext.applyMode = apply;
        jobContext.applyToFolders = folders;
        jobPhase = apply ? PhaseApplying : PhaseCounting;
        WalkFolder(&jobContext);
    }
};

TEST_F(WalkTest, ExampleTreeCountsInBothModes) {
    MakeExampleTree();
    Walk(L"*.*", false, false, false);
    EXPECT_EQ(2u, jobContext.flatCounts.files.load());
    EXPECT_EQ(1u, jobContext.flatCounts.folders.load());
    EXPECT_EQ(0u, jobContext.deepCounts.files.load());
    Walk(L"*.*", true, false, false);
    EXPECT_EQ(3u, jobContext.deepCounts.files.load());
    EXPECT_EQ(1u, jobContext.deepCounts.folders.load());
    ItemTimes x;
    ASSERT_TRUE(ReadTimes(dir / L"x", &x));
    EXPECT_TRUE(SameTime(oldTime, x.accessed)) << "listing the sub-folder moved its access time";
    // The walk leaves pickedPath as it found it.
    EXPECT_EQ(dir.Path(), std::wstring(jobContext.pickedPath));
}

TEST_F(WalkTest, DotFoldersAndFoldersMatchingThePatternAreNoFiles) {
    MakeExampleTree();
    MakeOld(L".hidden\\inner.txt");
    MakeFolder(dir / L"folder.txt");
    Walk(L"*.txt", true, false, false);
    EXPECT_EQ(2u, jobContext.deepCounts.files.load());   // a.txt, x\d.txt
    EXPECT_EQ(2u, jobContext.deepCounts.folders.load()); // x, folder.txt
    Walk(L"*", true, true, true);
    EXPECT_TRUE(Untouched(L".hidden\\inner.txt"));
    EXPECT_TRUE(Stamped(L"folder.txt"));
    EXPECT_EQ(3u, processedFiles.load());   // a.txt, b, x\d.txt
    EXPECT_EQ(2u, processedFolders.load()); // x, folder.txt
}

TEST_F(WalkTest, ApplyStampsFilesThenEachSubFolderAfterItsContents) {
    MakeExampleTree();
    // Every item is refused, so each one shows the prompt in the order visited.
    RefuseStamping refuse;
    PromptAnswerer answerer(Text(IDS_PRODUCT), IDOK, 3);
    Walk(L"*.txt", true, true, true);
    const auto &seen = answerer.Seen();
    ASSERT_EQ(3u, seen.size());
    EXPECT_TRUE(seen[0].Shows(L"Plik: " + dir / L"a.txt"));
    EXPECT_TRUE(seen[1].Shows(L"Plik: " + dir / L"x\\d.txt"));
    EXPECT_TRUE(seen[2].Shows(L"Plik: " + dir / L"x"));
    EXPECT_FALSE(seen[2].Shows(L"d.txt"));
    EXPECT_TRUE(Untouched(L"b"));
    EXPECT_EQ(2u, processedFiles.load());
    EXPECT_EQ(1u, processedFolders.load());
}

TEST_F(WalkTest, StampedFolderKeepsItsLastAccessTimeAfterThePass) {
    MakeExampleTree();
    MakeOld(L"x\\y\\e.txt");
    Walk(L"*.*", true, true, true);
    const FILETIME expected = LocalToUtc(newLocal);
    for (const wchar_t *name : {L"x", L"x\\y", L"a.txt", L"b", L"x\\d.txt", L"x\\y\\e.txt"}) {
        ItemTimes times;
        ASSERT_TRUE(ReadTimes(dir / name, &times));
        EXPECT_TRUE(SameTime(expected, times.accessed)) << name;
        EXPECT_TRUE(SameTime(expected, times.written)) << name;
    }
    EXPECT_EQ(dir.Path(), std::wstring(jobContext.pickedPath));
}

TEST_F(WalkTest, WithoutSubFoldersOnlyTheTargetLevelIsStamped) {
    MakeExampleTree();
    Walk(L"*.*", false, true, true);
    EXPECT_TRUE(Stamped(L"a.txt"));
    EXPECT_TRUE(Stamped(L"b"));
    EXPECT_TRUE(Stamped(L"x"));
    EXPECT_TRUE(Untouched(L"x\\d.txt"));
    EXPECT_EQ(2u, processedFiles.load());
    EXPECT_EQ(1u, processedFolders.load());
}

TEST_F(WalkTest, DotPatternsAndPatternsWithSeparatorsWalkNothing) {
    MakeExampleTree();
    // A file beside the target folder that "..\*.*" would reach.
    const std::wstring outside = dir.Path() + L"-outside.txt";
    WriteTextFile(outside);
    WriteTimes(outside, &oldTime, &oldTime, &oldTime);
    for (const wchar_t *pattern : {L".", L"..", L"..\\*.*", L"x\\*.txt", L"../*.*", L"x/d.txt"}) {
        jobContext.ClearCounts();
        Walk(pattern, true, false, true);
        EXPECT_EQ(0u, jobContext.deepCounts.files.load()) << pattern;
        EXPECT_EQ(0u, jobContext.deepCounts.folders.load()) << pattern;
        Walk(pattern, true, true, true);
        EXPECT_EQ(0u, processedFiles.load() + processedFolders.load()) << pattern;
    }
    EXPECT_TRUE(Untouched(L"a.txt"));
    EXPECT_TRUE(Untouched(L"x\\d.txt"));
    ItemTimes times;
    ASSERT_TRUE(ReadTimes(outside, &times));
    EXPECT_TRUE(SameTime(oldTime, times.written));
    DeleteFileW(outside.c_str());
}

TEST_F(WalkTest, VanishedSubFolderContributesNothingAndTheWalkGoesOn) {
    MakeOld(L"s1\\held.txt");
    MakeOld(L"s2\\held.txt");
    MakeOld(L"z.txt");
    RefuseStamping refuse({L"held.txt"});
    bool removed = false;
    // At the first prompt, whichever folder it is in, the other folder disappears.
    PromptAnswerer answerer(
        Text(IDS_PRODUCT), IDOK, 2,
        [&](HWND prompt) {
            const PromptSeen seen = DescribePrompt(prompt);
            if (!seen.Shows(L"held.txt"))
                return;
            const int other = seen.Shows(L"s1\\held.txt") ? 1 : 0;
            if (!removed) {
                removed = true;
                RemoveTree(dir / (other ? L"s2" : L"s1"));
            }
        },
        1500); // a second prompt would be a fault: do not wait long for it
    Walk(L"*.txt", true, true, false);
    EXPECT_EQ(1u, answerer.Seen().size());
    EXPECT_TRUE(Stamped(L"z.txt"));
    EXPECT_EQ(2u, processedFiles.load()); // z.txt and the held file, skipped
}

TEST_F(WalkTest, LongPathsAreCountedAndStampedAndNeverCut) {
    // A folder chain that ends near 259 characters, with names that go past it.
    std::wstring folder = dir.Path();
    std::wstring relative;
    while (folder.size() < 235) {
        folder += L"\\level";
        relative += relative.empty() ? L"level" : L"\\level";
    }
    MakeFolder(folder);
    const size_t room = 259 - folder.size() - 1; // longest name that fits in 259
    const std::wstring fits = std::wstring(room - 1, L'f') + L"h";
    const std::wstring cut(room, L'g'); // what a path cut to 259 would name
    const std::wstring longer = cut + L"h" + std::wstring(60, L'l') + L"h";
    MakeOld(relative + L"\\" + fits);
    MakeOld(relative + L"\\" + cut);
    MakeOld(relative + L"\\" + longer);
    ASSERT_GT((folder + L"\\" + longer).size(), 300u);

    Walk(L"*h", true, false, false);
    EXPECT_EQ(2u, jobContext.deepCounts.files.load());

    PromptAnswerer answerer(Text(IDS_PRODUCT), IDOK, 1, nullptr, 1500);
    Walk(L"*h", true, true, false);
    EXPECT_EQ(0u, answerer.Seen().size());
    EXPECT_TRUE(Stamped(relative + L"\\" + fits));
    EXPECT_TRUE(Stamped(relative + L"\\" + longer));
    EXPECT_TRUE(Untouched(relative + L"\\" + cut));
    EXPECT_EQ(2u, processedFiles.load());
    EXPECT_EQ(dir.Path(), std::wstring(jobContext.pickedPath));
}

// Where "folder\pattern" no longer fits in 259 characters: a target folder of 256 to 259
// characters, and a sub-folder below it. No file is left out.
TEST_F(WalkTest, FilesOfFoldersNear259CharactersAreCountedAndStamped) {
    for (size_t length = 256; length <= 259; ++length) {
        std::wstring target = dir / (L"t" + std::to_wstring(length));
        target += L"\\" + std::wstring(length - target.size() - 1, L'z');
        ASSERT_EQ(length, target.size());
        const std::wstring relative = target.substr(dir.Path().size() + 1);
        MakeOld(relative + L"\\a.txt");
        MakeOld(relative + L"\\sub\\b.txt");
        jobContext.ClearCounts();
        Walk(L"*.txt", true, false, false, target);
        EXPECT_EQ(2u, jobContext.deepCounts.files.load()) << length;
        EXPECT_EQ(1u, jobContext.deepCounts.folders.load()) << length;
        processedFiles = 0;
        Walk(L"*.txt", true, true, false, target);
        EXPECT_EQ(2u, processedFiles.load()) << length;
        EXPECT_TRUE(Stamped(relative + L"\\a.txt")) << length;
        EXPECT_TRUE(Stamped(relative + L"\\sub\\b.txt")) << length;
    }
}

// Names that the plain form of a path would strip: a trailing space or dot.
TEST_F(WalkTest, NamesEndingInASpaceOrADotAreStamped) {
    const wchar_t *const names[] = {L"space ", L"dot.", L"dots..", L"folder.\\inner "};
    for (const wchar_t *name : names)
        MakeOld(name);
    Walk(L"*", true, false, false);
    EXPECT_EQ(4u, jobContext.deepCounts.files.load());
    PromptAnswerer answerer(Text(IDS_PRODUCT), IDOK, 1, nullptr, 1500);
    Walk(L"*", true, true, false);
    EXPECT_EQ(0u, answerer.Seen().size());
    for (const wchar_t *name : names)
        EXPECT_TRUE(Stamped(name)) << testing::PrintToString(std::wstring(name).size());
}

// Before Windows 6.1 folders are listed with plain FindFirstFileW, through the same long paths.
TEST_F(WalkTest, LongPathsAreCountedAndStampedUnderWinXp) {
    std::wstring relative = L"level";
    while (dir.Path().size() + relative.size() < 300)
        relative += L"\\level";
    MakeOld(relative + L"\\a.txt");
    Walk(L"*.txt", true, false, false);
    EXPECT_EQ(1u, jobContext.deepCounts.files.load());
    Walk(L"*.txt", true, true, false);
    EXPECT_EQ(1u, processedFiles.load());
    EXPECT_TRUE(Stamped(relative + L"\\a.txt"));
}

TEST_F(WalkTest, StopChosenInThePromptEndsTheWalkAtOnce) {
    MakeOld(L"a\\1.txt");
    MakeOld(L"b\\1.txt");
    MakeOld(L"c\\1.txt");
    MakeOld(L"top.txt");
    RefuseStamping refuse({L"top.txt"});
    PromptAnswerer answerer(Text(IDS_PRODUCT), IDCANCEL);
    Walk(L"*.txt", true, true, true);
    answerer.Seen();
    EXPECT_EQ(PhaseStopped, jobPhase.load());
    EXPECT_TRUE(Untouched(L"a\\1.txt"));
    EXPECT_TRUE(Untouched(L"b\\1.txt"));
    EXPECT_TRUE(Untouched(L"c\\1.txt"));
    EXPECT_EQ(0u, processedFolders.load());
}

TEST_F(WalkTest, StopFlagSeenAfterAnItemEndsTheWalk) {
    MakeOld(L"a\\1.txt");
    MakeOld(L"b\\1.txt");
    MakeOld(L"top.txt");
    RefuseStamping refuse({L"top.txt"});
    // A stop from outside while the prompt shows; the prompt itself answers "continue".
    PromptAnswerer answerer(Text(IDS_PRODUCT), IDOK, 1, [](HWND) { jobPhase = PhaseStopped; });
    Walk(L"*.txt", true, true, true);
    answerer.Seen();
    EXPECT_EQ(1u, processedFiles.load());
    EXPECT_TRUE(Untouched(L"a\\1.txt"));
    EXPECT_TRUE(Untouched(L"b\\1.txt"));
}

} // namespace

namespace {
std::wstring goneFolder;
// The folder is removed from outside while the walk is at its first file, as another program
// would (the walk's own open listing keeps Windows' calls from removing it).
void RemoveFolderAtFirstItem(const wchar_t *name) {
    if (goneFolder.empty() || name[0] != L'f')
        return;
    using UnixName = char *(CDECL *)(const wchar_t *);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char *folder = unixName ? unixName(goneFolder.c_str()) : nullptr;
    if (folder) {
        std::wstring command = L"Z:\\bin\\rm -rf ";
        for (const char *c = folder; *c; ++c)
            command += static_cast<wchar_t>(*c);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        HeapFree(GetProcessHeap(), 0, folder);
    }
    for (int wait = 0;
         wait < 250 && GetFileAttributesW(goneFolder.c_str()) != INVALID_FILE_ATTRIBUTES; ++wait)
        Sleep(20);
    goneFolder.clear();
}
} // namespace

TEST_F(WalkTest, AFolderRemovedWhileItIsWalkedIsReportedOnce) {
    for (int i = 0; i < 5; ++i)
        MakeOld(L"x\\f" + std::to_wstring(i) + L".txt");
    MakeOld(L"y\\later.txt");
    goneFolder = dir / L"x";
    if (!GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"))
        GTEST_SKIP() << "no other program can remove the folder here";
    beforeWalkItem = RemoveFolderAtFirstItem;
    PromptAnswerer answerer(Text(IDS_PRODUCT), IDOK, 5, nullptr, 2000);
    Walk(L"*.txt", true, true, false);
    beforeWalkItem = nullptr;
    const auto &seen = answerer.Seen();
    ASSERT_EQ(1u, seen.size());
    EXPECT_TRUE(seen[0].Shows(L"Plik: " + dir / L"x"));
    EXPECT_TRUE(Stamped(L"y\\later.txt")) << "the walk did not go on after the folder";
}
