// The About box as the user reaches it: button 1019 of the real main dialog, with the main
// dialog's timers and jobs going on underneath.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/job_context.h"
#include "common/test_support.h"
#include "res/resource.h"
#include "ui/main_dialog.h"

using testsupport::WindowText;

namespace {

// The main dialog run modally on its own thread, as the entry point runs it.
class MainDialogThread {
  public:
    explicit MainDialogThread(const std::wstring &commandLine) : commandLine_(commandLine) {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    }
    ~MainDialogThread() {
        if (WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT) {
            for (int i = 0; i < 3; ++i) {
                HWND top = FindDialog(nullptr);
                if (!top)
                    break;
                PostMessageW(top, WM_COMMAND, IDCANCEL, 0);
                testsupport::PumpUntil([&] { return !IsWindow(top); }, 5000);
            }
        }
        testsupport::PumpUntil([&] { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; },
                               20000);
        CloseHandle(thread_);
        jobContext.dialog = nullptr;
    }
    MainDialogThread(const MainDialogThread &) = delete;
    MainDialogThread &operator=(const MainDialogThread &) = delete;

    // A visible dialog of the thread owned by owner (null: the one owned by nobody, else the
    // latest one whose owner is owner).
    HWND FindDialog(HWND owner) const {
        Query query = {owner, nullptr};
        EnumThreadWindows(threadId_, MatchDialog, reinterpret_cast<LPARAM>(&query));
        return query.found;
    }
    HWND WaitForDialog(HWND owner, DWORD timeoutMs = 5000) const {
        HWND found = nullptr;
        testsupport::PumpUntil(
            [&] {
                found = FindDialog(owner);
                return found != nullptr;
            },
            timeoutMs);
        return found;
    }

  private:
    struct Query {
        HWND owner;
        HWND found;
    };
    static BOOL CALLBACK MatchDialog(HWND window, LPARAM param) {
        auto *query = reinterpret_cast<Query *>(param);
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(window))
            return TRUE;
        if (query->owner && GetWindow(window, GW_OWNER) != query->owner)
            return TRUE;
        query->found = window;
        return FALSE;
    }
    static DWORD WINAPI Run(void *self) {
        auto *run = static_cast<MainDialogThread *>(self);
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialogProc,
                        reinterpret_cast<LPARAM>(run->commandLine_.c_str()));
        CoUninitialize();
        return 0;
    }
    std::wstring commandLine_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
};

} // namespace

TEST(AboutBoxFromMainDialog, OpensOverTheMainDialogWhileItsTimersAndJobsGoOn) {
    testsupport::TempDir folder;
    for (const wchar_t *name : {L"a.txt", L"b.txt", L"c.txt", L"d.log", L"e.log"})
        testsupport::WriteTextFile(folder / name);
    MainDialogThread run(folder.Path());
    HWND main = run.WaitForDialog(nullptr);
    ASSERT_NE(nullptr, main);
    HWND status = GetDlgItem(main, IDC_STATUS);
    ASSERT_TRUE(
        testsupport::PumpUntil([&] { return WindowText(status) == L"Plik\u00f3w: 5"; }, 10000))
        << WindowText(status).c_str();

    // A new filter arms the five-second recount; the box opens before it fires.
    SetWindowTextW(GetDlgItem(main, IDC_FILTER), L"*.txt");
    HWND aboutButton = GetDlgItem(main, IDC_ABOUT);
    ASSERT_TRUE(IsWindowEnabled(aboutButton));
    PostMessageW(aboutButton, BM_CLICK, 0, 0);
    HWND about = run.WaitForDialog(main);
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(L"O programie...", WindowText(about));
    EXPECT_EQ(L"Wersja 2.0.3680.7000 dla Windows XP/Vista/7",
              WindowText(GetDlgItem(about, IDC_ABOUT_VERSION)));
    EXPECT_FALSE(IsWindowEnabled(main));

    // The recount runs and reports while the box stays open.
    EXPECT_TRUE(
        testsupport::PumpUntil([&] { return WindowText(status) == L"Plik\u00f3w: 3"; }, 12000))
        << WindowText(status).c_str();
    EXPECT_TRUE(IsWindow(about));

    PostMessageW(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !IsWindow(about); }, 5000));
    EXPECT_TRUE(IsWindowEnabled(main));

    // A second opening from the same button, closed with OK this time.
    PostMessageW(aboutButton, BM_CLICK, 0, 0);
    about = run.WaitForDialog(main);
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(L"Vandrel", WindowText(GetDlgItem(about, IDC_ABOUT_PRODUCT)));
    PostMessageW(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !IsWindow(about); }, 5000));
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_TRUE(IsWindow(main)) << "the main dialog goes on after the box";
}
