// The status line on the real main dialog: which text, which numbers, the comma rule.
#include <gtest/gtest.h>

#include "app/job_context.h"
#include "common/test_support.h"
#include "engine/engine_test_support.h"
#include "res/resource.h"
#include "ui/status.h"

using namespace enginetest;

namespace {

class StatusLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetJob();
        jobContext.dialog = dialog.Window();
        jobContext.flatCounts.files = 12;
        jobContext.flatCounts.folders = 3;
        jobContext.deepCounts.files = 40;
        jobContext.deepCounts.folders = 9;
    }
    void TearDown() override { ResetJob(); }
    std::wstring Shown() {
        ShowStatus();
        return dialog.Text(IDC_STATUS);
    }
    TestDialog dialog;
};

TEST_F(StatusLineTest, IdleCountsWithAndWithoutFolders) {
    EXPECT_EQ(L"Plików: 12", Shown());
    jobContext.applyToFolders = 1;
    EXPECT_EQ(L"Plików: 12, folderów: 3", Shown());
    jobContext.includeSubfolders = 1;
    EXPECT_EQ(L"Plików: 40, folderów: 9", Shown());
    jobPhase = PhaseDone;
    EXPECT_EQ(L"Plików: 40, folderów: 9", Shown());
}

TEST_F(StatusLineTest, CountingKeepsTheBracketClosed) {
    jobPhase = PhaseCounting;
    jobContext.flatCounts.files = 5;
    EXPECT_EQ(L"Trwa zliczanie... (plików: 5)", Shown());
    jobContext.applyToFolders = 1;
    EXPECT_EQ(L"Trwa zliczanie... (plików: 5, folderów: 3)", Shown());
}

TEST_F(StatusLineTest, ApplyingShowsTheProcessedItems) {
    jobPhase = PhaseApplying;
    jobContext.applyMode = 1;
    processedFiles = 7;
    processedFolders = 2;
    EXPECT_EQ(L"Przetwarzanie... (plików: 7)", Shown());
    jobContext.applyToFolders = 1;
    EXPECT_EQ(L"Przetwarzanie... (plików: 7, folderów: 2)", Shown());
}

TEST_F(StatusLineTest, StoppedEmptiesTheLineAndUncountedShowsZero) {
    jobPhase = PhaseStopped;
    EXPECT_EQ(L"", Shown());
    jobPhase = PhaseIdle;
    jobContext.ClearCounts();
    EXPECT_EQ(L"Plików: 0", Shown());
    jobContext.applyToFolders = 1;
    EXPECT_EQ(L"Plików: 0, folderów: 0", Shown());
}

// The Chinese texts have no ASCII comma: the folder count always stays.
using StatusLineChineseTest = StatusLineTest;

TEST_F(StatusLineChineseTest, TextsAreNeverShortened) {
    ASSERT_TRUE(testsupport::IsChineseUi());
    EXPECT_EQ(L"文件：12，文件夹：3", Shown());
    jobPhase = PhaseCounting;
    EXPECT_EQ(L"正在搜索...（文件：12，文件夹：3）", Shown());
    jobPhase = PhaseApplying;
    jobContext.applyMode = 1;
    processedFiles = 4;
    processedFolders = 1;
    EXPECT_EQ(L"正在处理...（文件：4，文件夹：1）", Shown());
}

// English shortens at its comma as Polish does.
using StatusLineEnglishTest = StatusLineTest;

TEST_F(StatusLineEnglishTest, FolderCountGoesWithoutFoldersToStamp) {
    ASSERT_TRUE(testsupport::IsEnglishUi());
    EXPECT_EQ(L"Files: 12", Shown());
    jobContext.applyToFolders = 1;
    EXPECT_EQ(L"Files: 12, folders: 3", Shown());
    jobContext.applyToFolders = 0;
    jobPhase = PhaseCounting;
    EXPECT_EQ(L"Counting... (files: 12)", Shown());
    jobPhase = PhaseApplying;
    jobContext.applyMode = 1;
    processedFiles = 4;
    processedFolders = 1;
    EXPECT_EQ(L"Processing... (files: 4)", Shown());
    jobContext.applyToFolders = 1;
    EXPECT_EQ(L"Processing... (files: 4, folders: 1)", Shown());
}

} // namespace
