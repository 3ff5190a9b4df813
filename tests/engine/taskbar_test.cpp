// Taskbar progress of the passes, recorded by a taskbar button object of the test's own: the
// calls the controller and the walk make, in order.
#include <windows.h>

#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/job_context.h"
#include "common/test_support.h"
#include "engine/engine_test_support.h"
#include "ui/job_controller.h"

using namespace testsupport;
using namespace enginetest;

namespace {

// Records SetProgressValue and SetProgressState; every other method answers E_NOTIMPL.
class RecordingTaskbar : public ITaskbarList3 {
  public:
    std::vector<std::wstring> calls;
    HWND window = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE HrInit() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE AddTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MarkFullscreenWindow(HWND, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetProgressValue(HWND hwnd, ULONGLONG done,
                                               ULONGLONG total) override {
        window = hwnd;
        calls.push_back(L"value " + std::to_wstring(done) + L"/" + std::to_wstring(total));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetProgressState(HWND hwnd, TBPFLAG state) override {
        window = hwnd;
        calls.push_back(L"state " + std::to_wstring(state));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RegisterTab(HWND, HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnregisterTab(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTabOrder(HWND, HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTabActive(HWND, HWND, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ThumbBarAddButtons(HWND, UINT, LPTHUMBBUTTON) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ThumbBarUpdateButtons(HWND, UINT, LPTHUMBBUTTON) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ThumbBarSetImageList(HWND, HIMAGELIST) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetOverlayIcon(HWND, HICON, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetThumbnailTooltip(HWND, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetThumbnailClip(HWND, RECT *) override { return E_NOTIMPL; }
};

class TaskbarProgressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetJob();
        jobContext.dialog = dialog.Window();
        const SYSTEMTIME local = MakeLocalTime(2001, 1, 1, 1, 1, 1);
        SetTimes(nullptr, &local, nullptr);
        WriteTextFile(dir / L"a.txt");
        WriteTextFile(dir / L"b.txt");
        WriteTextFile(dir / L"sub\\c.txt");
        SetTarget(dir.Path(), L"*.*");
        taskbarList = &taskbar;
    }
    void TearDown() override {
        EndJobAndWait();
        ResetJob();
    }
    TempDir dir;
    TestDialog dialog;
    RecordingTaskbar taskbar;
};

TEST_F(TaskbarProgressTest, CountThenApplyReportsEachItemAgainstTheModesTotal) {
    jobContext.applyToFolders = 1;
    jobContext.applyMode = 1;
    StartJobThread();
    ASSERT_TRUE(WaitForControllers());
    // Flat mode: a.txt, b.txt and the folder sub, in the platform's order.
    EXPECT_EQ(
        (std::vector<std::wstring>{L"state 1", L"state 0", L"value 0/3", L"state 2", L"value 1/3",
                                   L"value 2/3", L"value 3/3", L"value 3/3", L"state 0"}),
        taskbar.calls);
    EXPECT_EQ(dialog.Window(), taskbar.window);
    EXPECT_EQ(3u, jobContext.flatTotal.load());
    EXPECT_EQ(0u, progressCount.load());
}

TEST_F(TaskbarProgressTest, TotalCountsFilesOnlyWhenFoldersAreNotStamped) {
    jobContext.includeSubfolders = 1;
    jobContext.deepCounts.files = 3;
    jobContext.deepCounts.folders = 1;
    jobContext.applyMode = 1;
    StartJobThread();
    ASSERT_TRUE(WaitForControllers());
    EXPECT_EQ((std::vector<std::wstring>{L"value 0/3", L"state 2", L"value 1/3", L"value 2/3",
                                         L"value 3/3", L"value 3/3", L"state 0"}),
              taskbar.calls);
    EXPECT_EQ(3u, jobContext.deepTotal.load());
}

} // namespace
