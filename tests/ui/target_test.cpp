// Target selection on the real dialog: a folder, a file, a drive root, the shell's folder
// browser, a pick that cannot be opened, and the icons and brushes that must not pile up.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <thread>

#include "app/job_context.h"
#include "app/text.h"
#include "common/test_support.h"
#include "res/resource.h"
#include "ui/dialog_harness.h"
#include "ui/main_dialog.h"
#include "ui/target.h"

using testsupport::MakeLocalTime;
using testsupport::TempDir;
using testsupport::WriteTextFile;
using uitest::MainDialogRun;

namespace {

class TargetSelection : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteTextFile(start_ / L"start.txt");
        run_ = std::make_unique<MainDialogRun>(start_.Path());
        ASSERT_NE(run_->Window(), nullptr);
        WaitForJob();
    }
    void WaitForJob() {
        EXPECT_TRUE(testsupport::PumpUntil(
            [&] { return !run_->Text(IDC_STATUS).empty() && jobPhase == PhaseIdle; }, 20000));
    }
    // The road of a drop or a browse, on the dialog's thread.
    int Pick(const std::wstring &path) {
        int result = -1;
        run_->RunOnDialogThread([&] { result = SetTargetPath(path.c_str(), 0, 0); });
        return result;
    }
    void Stamp(const std::wstring &path, const SYSTEMTIME &local) {
        const FILETIME utc = testsupport::LocalToUtc(local);
        ASSERT_TRUE(testsupport::WriteTimes(path, &utc, &utc, &utc));
    }
    // Wine keeps no creation time: it reports the last-write time in its place. A folder's
    // access time moves whenever its listing is read, so it is checked for files only.
    void ExpectPickersShow(const SYSTEMTIME &local, bool withAccess = true) {
        for (int id : {IDC_PICK_CREATED, IDC_PICK_MODIFIED, IDC_PICK_ACCESSED}) {
            if (id == IDC_PICK_ACCESSED && !withAccess)
                continue;
            LRESULT state = 0;
            const SYSTEMTIME shown = uitest::PickerTime(run_->Item(id), &state);
            EXPECT_EQ(state, GDT_VALID) << "picker " << id;
            EXPECT_TRUE(uitest::SameDateTime(shown, local))
                << "picker " << id << " " << testing::PrintToString(uitest::Describe(shown).size());
        }
        EXPECT_TRUE(uitest::SameDateTime(jobContext.timeModified.Load(), local));
        if (withAccess) {
            EXPECT_TRUE(uitest::SameDateTime(jobContext.timeAccessed.Load(), local));
        }
    }
    HICON TargetIcon() {
        return reinterpret_cast<HICON>(
            SendMessageW(run_->Item(IDC_TARGET_ICON), STM_GETICON, 0, 0));
    }

    TempDir start_;
    TempDir dir_;
    std::unique_ptr<MainDialogRun> run_;
};

std::wstring Name(const std::wstring &path) {
    return path.substr(path.find_last_of(L'\\') + 1);
}

} // namespace

TEST_F(TargetSelection, FolderBecomesTheTargetWithAllFiles) {
    const std::wstring photos = dir_ / L"Summer";
    WriteTextFile(photos + L"\\a.jpg");
    const SYSTEMTIME folderTime = MakeLocalTime(2005, 6, 7, 8, 9, 10);
    Stamp(photos, folderTime);
    const HICON oldIcon = TargetIcon();
    EXPECT_EQ(Pick(photos), 1);
    EXPECT_STREQ(jobContext.folder, photos.c_str());
    EXPECT_STREQ(jobContext.pickedPath, photos.c_str());
    EXPECT_STREQ(jobContext.pattern, L"*.*");
    EXPECT_EQ(run_->Text(IDC_FILTER), L"*.*");
    EXPECT_EQ(run_->Text(IDC_TARGET_NAME), L"Summer");
    EXPECT_EQ(run_->Text(IDC_LOCATION), dir_.Path());
    EXPECT_NE(TargetIcon(), nullptr);
    EXPECT_NE(TargetIcon(), oldIcon);
    ExpectPickersShow(folderTime, false);
}

TEST_F(TargetSelection, FileBecomesItsFolderAndItsNameAsPattern) {
    const std::wstring photos = dir_ / L"Photos";
    WriteTextFile(photos + L"\\a.jpg");
    const SYSTEMTIME fileTime = MakeLocalTime(2006, 7, 8, 9, 10, 11);
    Stamp(photos + L"\\a.jpg", fileTime);
    Stamp(photos, MakeLocalTime(2001, 1, 1, 1, 1, 1));
    EXPECT_EQ(Pick(photos + L"\\a.jpg"), 1);
    EXPECT_STREQ(jobContext.folder, photos.c_str());
    EXPECT_STREQ(jobContext.pattern, L"a.jpg");
    EXPECT_EQ(run_->Text(IDC_FILTER), L"a.jpg");
    EXPECT_EQ(run_->Text(IDC_TARGET_NAME), L"Photos");
    EXPECT_EQ(run_->Text(IDC_LOCATION), dir_.Path());
    ExpectPickersShow(fileTime); // the file's times, not its folder's
}

// A summer time shows its summer hour in a winter run and a winter time its winter hour.
TEST_F(TargetSelection, PickersShowEachTimeWithTheOffsetOfItsDate) {
    ASSERT_TRUE(testsupport::RunsInWarsawTime());
    const struct {
        FILETIME utc;
        SYSTEMTIME local;
    } cases[] = {
        {testsupport::MakeFileTime(2004, 7, 15, 10, 0, 0), MakeLocalTime(2004, 7, 15, 12, 0, 0)},
        {testsupport::MakeFileTime(2004, 1, 15, 11, 0, 0), MakeLocalTime(2004, 1, 15, 12, 0, 0)},
    };
    const std::wstring file = dir_ / L"season.txt";
    WriteTextFile(file);
    for (const auto &c : cases) {
        ASSERT_TRUE(testsupport::WriteTimes(file, &c.utc, &c.utc, &c.utc));
        EXPECT_EQ(Pick(file), 1);
        ExpectPickersShow(c.local);
    }
}

// Every way of naming a folder becomes its full, tidy path, so the folder whose times are read is
// the folder that is shown and walked.
TEST_F(TargetSelection, RelativeAndUntidyPathsNameTheFolderTheUserMeans) {
    const std::wstring inner = dir_ / L"inner";
    WriteTextFile(inner + L"\\a.txt");
    const SYSTEMTIME innerTime = MakeLocalTime(2007, 8, 9, 10, 11, 12);
    const SYSTEMTIME outerTime = MakeLocalTime(2003, 4, 5, 6, 7, 8);
    Stamp(inner, innerTime);
    Stamp(dir_.Path(), outerTime);
    std::wstring forward = inner;
    std::replace(forward.begin(), forward.end(), L'\\', L'/');
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    const struct {
        std::wstring picked, cwd;
        const wchar_t *driveCwd; // the remembered folder of drive C: while on another drive
        std::wstring folder;
        SYSTEMTIME time;
    } cases[] = {
        {L".", inner, nullptr, inner, innerTime},
        {L"..", inner, nullptr, dir_.Path(), outerTime},
        {L"inner", dir_.Path(), nullptr, inner, innerTime},
        {L"..\\inner\\", inner, nullptr, inner, innerTime},
        {inner + L"\\", L"C:\\", nullptr, inner, innerTime},
        {forward + L"/", L"C:\\", nullptr, inner, innerTime},
        {L"C:", inner, nullptr, inner, innerTime},
        {L"C:", L"Z:\\", inner.c_str(), inner, innerTime},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(SetCurrentDirectoryW(c.cwd.c_str()));
        SetEnvironmentVariableW(L"=C:", c.driveCwd);
        EXPECT_EQ(Pick(c.picked), 1) << c.picked.size();
        EXPECT_EQ(std::wstring(jobContext.folder), c.folder) << c.picked.size();
        EXPECT_EQ(run_->Text(IDC_TARGET_NAME), Name(c.folder));
        ExpectPickersShow(c.time, false);
    }
    SetEnvironmentVariableW(L"=C:", nullptr);
    SetCurrentDirectoryW(previous);
}

// A folder deeper than 259 characters is a target like any other.
TEST_F(TargetSelection, FolderOf300CharactersBecomesTheTarget) {
    std::wstring deep = dir_.Path();
    while (deep.size() < 300)
        deep += L"\\folder";
    WriteTextFile(deep + L"\\a.txt");
    const SYSTEMTIME deepTime = MakeLocalTime(2008, 9, 10, 11, 12, 13);
    Stamp(deep, deepTime);
    EXPECT_EQ(Pick(deep), 1);
    EXPECT_EQ(std::wstring(jobContext.folder), deep);
    EXPECT_STREQ(jobContext.pattern, L"*.*");
    EXPECT_EQ(run_->Text(IDC_TARGET_NAME), Name(deep));
    ExpectPickersShow(deepTime, false);
}

TEST_F(TargetSelection, DriveRootShowsTheDrivesFolderAsLocation) {
    EXPECT_EQ(Pick(L"C:\\"), 1);
    EXPECT_STREQ(jobContext.folder, L"C:\\");
    EXPECT_STREQ(jobContext.pattern, L"*.*");
    EXPECT_EQ(run_->Text(IDC_TARGET_NAME), L"C:\\");
    LPITEMIDLIST drives = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives), S_OK);
    SHFILEINFOW info = {};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(drives), 0, &info, sizeof info,
                   SHGFI_PIDL | SHGFI_DISPLAYNAME);
    CoTaskMemFree(drives);
    ASSERT_NE(info.szDisplayName[0], L'\0');
    EXPECT_EQ(run_->Text(IDC_LOCATION), info.szDisplayName);
}

TEST_F(TargetSelection, NewTargetChecksAllPickersAndSetsTheUseFlags) {
    for (int id : {IDC_PICK_CREATED, IDC_PICK_MODIFIED, IDC_PICK_ACCESSED})
        ASSERT_TRUE(uitest::ClickPickerBox(run_->Item(id)));
    EXPECT_FALSE(run_->Enabled(IDC_APPLY));
    WriteTextFile(dir_ / L"next.txt");
    Pick(dir_ / L"next.txt");
    for (int id : {IDC_PICK_CREATED, IDC_PICK_MODIFIED, IDC_PICK_ACCESSED}) {
        LRESULT state = 0;
        uitest::PickerTime(run_->Item(id), &state);
        EXPECT_EQ(state, GDT_VALID);
    }
    // What the boxes show is what an apply writes.
    EXPECT_EQ(jobContext.useCreated, 1);
    EXPECT_EQ(jobContext.useModified, 1);
    EXPECT_EQ(jobContext.useAccessed, 1);
    EXPECT_TRUE(run_->Enabled(IDC_APPLY));
}

TEST_F(TargetSelection, PathLongerThanTheSystemTakesIsReportedAndTheTargetStays) {
    std::wstring tooLong = dir_.Path();
    while (tooLong.size() < PathCapacity)
        tooLong += L"\\abcdefghij";
    const std::wstring before = jobContext.folder;
    // The notice runs on the dialog's thread: pick from a helper thread and answer from here.
    std::thread picker([&] { Pick(tooLong); });
    HWND notice = uitest::FindThreadDialog(run_->ThreadId(), run_->Window(), 10000);
    EXPECT_NE(notice, nullptr) << "no notice for the long path";
    if (notice) {
        EXPECT_NE(uitest::AllTexts(notice).find(L"206"), std::wstring::npos);
        PostMessageW(notice, WM_COMMAND, IDOK, 0);
    }
    picker.join();
    EXPECT_EQ(std::wstring(jobContext.folder), before);
    EXPECT_EQ(std::wstring(jobContext.pickedPath), before);
    EXPECT_EQ(run_->Text(IDC_TARGET_NAME), Name(before));
}

// The system opens a device for such a name, even where a file of that name exists: refused
// with the notice that names the path as given, and the target stays.
TEST_F(TargetSelection, DeviceNameIsRefusedAndTheTargetStays) {
    WriteTextFile(dir_ / L"aux.txt");
    const std::wstring before = jobContext.folder;
    for (const std::wstring &device : {dir_ / L"aux.txt", dir_ / L"NUL"}) {
        std::thread picker([&] { EXPECT_EQ(Pick(device), 0); });
        HWND notice = uitest::FindThreadDialog(run_->ThreadId(), run_->Window(), 10000);
        EXPECT_NE(notice, nullptr) << "no notice for " << Name(device).size();
        if (notice) {
            EXPECT_NE(uitest::AllTexts(notice).find(device), std::wstring::npos);
            PostMessageW(notice, WM_COMMAND, IDOK, 0);
        }
        picker.join();
        EXPECT_EQ(std::wstring(jobContext.folder), before);
        EXPECT_EQ(run_->Text(IDC_TARGET_NAME), Name(before));
    }
}

TEST_F(TargetSelection, ReplacedIconsAndStaticBrushesDoNotPileUp) {
    WriteTextFile(dir_ / L"one\\x.txt");
    WriteTextFile(dir_ / L"two\\y.txt");
    HICON previous = TargetIcon();
    ASSERT_NE(previous, nullptr);
    HDC screen = GetDC(nullptr);
    HDC context = CreateCompatibleDC(screen);
    const LRESULT firstBrush =
        SendMessageW(run_->Window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(context),
                     reinterpret_cast<LPARAM>(run_->Item(IDC_STATUS)));
    for (int i = 0; i < 60; ++i) {
        Pick(dir_ / (i % 2 ? L"one" : L"two"));
        ICONINFO info = {};
        EXPECT_FALSE(GetIconInfo(previous, &info)) << "replaced icon " << i << " still exists";
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        if (info.hbmMask)
            DeleteObject(info.hbmMask);
        previous = TargetIcon();
        RedrawWindow(run_->Window(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        const LRESULT brush =
            SendMessageW(run_->Window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(context),
                         reinterpret_cast<LPARAM>(run_->Item(IDC_STATUS)));
        EXPECT_EQ(brush, firstBrush) << "a new brush for every paint";
    }
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(firstBrush)), static_cast<DWORD>(OBJ_BRUSH));
    // The static's colours: window text on the dialog's background.
    EXPECT_EQ(GetTextColor(context), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(GetBkColor(context), GetSysColor(StaticBackgroundIndex()));
    EXPECT_EQ(SendMessageW(run_->Window(), WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(context), 0),
              reinterpret_cast<LRESULT>(GetSysColorBrush(StaticBackgroundIndex())));
    DeleteDC(context);
    ReleaseDC(nullptr, screen);
    // Closing destroys the last one too.
    run_.reset();
    ICONINFO info = {};
    EXPECT_FALSE(GetIconInfo(previous, &info));
}

namespace {

std::wstring TreeCaretText(HWND tree) {
    wchar_t text[MAX_PATH] = {};
    TVITEMW item = {};
    item.mask = TVIF_TEXT;
    item.hItem = TreeView_GetSelection(tree);
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    if (!item.hItem || !TreeView_GetItem(tree, &item))
        return L"";
    return text;
}

// Presses Browse and picks a path in the shell's own folder browser; returns once the browser
// has closed.
bool BrowseTo(MainDialogRun &run, const std::wstring &path) {
    HWND browse = run.Item(IDC_BROWSE);
    if (!IsWindowEnabled(browse) || !IsWindowVisible(browse))
        return false;
    PostMessageW(browse, BM_CLICK, 0, 0); // the browser is modal: do not wait for it
    HWND browser = uitest::FindThreadDialog(run.ThreadId(), run.Window(), 10000);
    if (!browser) {
        ADD_FAILURE() << "no browser";
        return false;
    }
    // The browser fills its tree after it shows: select until the tree's caret is on the item
    // (the browser answers through its dialog result, not through SendMessage's).
    HWND tree = FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
    const bool selected = testsupport::PumpUntil(
        [&] {
            SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
            return TreeCaretText(tree) == Name(path);
        },
        10000);
    EXPECT_TRUE(selected) << "the browser did not select the item";
    PostMessageW(browser, WM_COMMAND, IDOK, 0);
    return testsupport::PumpUntil([&] { return !IsWindow(browser); }, 10000);
}

} // namespace

TEST_F(TargetSelection, BrowsedFolderBecomesTheTargetAndIsCounted) {
    WriteTextFile(dir_ / L"picked\\1.txt");
    WriteTextFile(dir_ / L"picked\\2.txt");
    run_->MarkStatus();
    ASSERT_TRUE(BrowseTo(*run_, dir_ / L"picked"));
    ASSERT_TRUE(run_->WaitForJobEnd());
    EXPECT_STREQ(jobContext.folder, (dir_ / L"picked").c_str());
    EXPECT_EQ(run_->Text(IDC_FILTER), L"*.*");
    EXPECT_EQ(jobContext.flatCounts.files, 2u);
}

TEST_F(TargetSelection, BrowsedFileThatCannotBeOpenedKeepsTheOldTarget) {
    WriteTextFile(dir_ / L"locked.txt");
    const std::wstring before = jobContext.folder;
    const std::wstring nameBefore = run_->Text(IDC_TARGET_NAME);
    HANDLE lock = CreateFileW((dir_ / L"locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    run_->MarkStatus();
    ASSERT_TRUE(BrowseTo(*run_, dir_ / L"locked.txt"));
    HWND notice = uitest::FindThreadDialog(run_->ThreadId(), run_->Window(), 10000);
    ASSERT_NE(notice, nullptr) << "no notice for the locked file";
    EXPECT_NE(uitest::AllTexts(notice).find(L"locked.txt"), std::wstring::npos);
    PostMessageW(notice, WM_COMMAND, IDOK, 0);
    // The old target stays, on screen too, and is counted again.
    ASSERT_TRUE(run_->WaitForJobEnd());
    CloseHandle(lock);
    EXPECT_EQ(std::wstring(jobContext.folder), before);
    EXPECT_EQ(std::wstring(jobContext.pickedPath), before);
    EXPECT_STREQ(jobContext.pattern, L"*.*");
    EXPECT_EQ(run_->Text(IDC_TARGET_NAME), nameBefore);
    EXPECT_EQ(run_->Text(IDC_FILTER), L"*.*");
    EXPECT_EQ(jobContext.flatCounts.files, 1u); // start.txt
}

TEST_F(TargetSelection, BrowsedItemWithoutAFileSystemPathKeepsTheOldTarget) {
    const std::wstring before = jobContext.folder;
    run_->MarkStatus();
    PostMessageW(run_->Item(IDC_BROWSE), BM_CLICK, 0, 0);
    HWND browser = uitest::FindThreadDialog(run_->ThreadId(), run_->Window(), 10000);
    ASSERT_NE(browser, nullptr);
    // The computer's drives: a shell item that no file-system path names.
    LPITEMIDLIST drives = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives), S_OK);
    SHFILEINFOW info = {};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(drives), 0, &info, sizeof info,
                   SHGFI_PIDL | SHGFI_DISPLAYNAME);
    HWND tree = FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
    const bool selected = testsupport::PumpUntil(
        [&] {
            SendMessageW(browser, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(drives));
            return TreeCaretText(tree) == info.szDisplayName;
        },
        10000);
    CoTaskMemFree(drives);
    ASSERT_TRUE(selected);
    PostMessageW(browser, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !IsWindow(browser); }, 10000));
    Sleep(500);
    EXPECT_TRUE(run_->StatusMarked()) << "nothing is counted";
    EXPECT_EQ(std::wstring(jobContext.folder), before);
    EXPECT_EQ(autoRecount, 1);
}

TEST_F(TargetSelection, CancelledBrowseChangesNothing) {
    const std::wstring before = jobContext.folder;
    run_->MarkStatus();
    PostMessageW(run_->Item(IDC_BROWSE), BM_CLICK, 0, 0);
    HWND browser = uitest::FindThreadDialog(run_->ThreadId(), run_->Window(), 10000);
    ASSERT_NE(browser, nullptr);
    PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !IsWindow(browser); }, 10000));
    Sleep(500);
    EXPECT_TRUE(run_->StatusMarked()) << "nothing is counted";
    EXPECT_EQ(std::wstring(jobContext.folder), before);
    // The filter arms its recount again after the browser.
    EXPECT_EQ(autoRecount, 1);
}

TEST_F(TargetSelection, StaysWhereTheTemplateCentresIt) {
    RECT window = {};
    GetWindowRect(run_->Window(), &window);
    const int width = window.right - window.left, height = window.bottom - window.top;
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_LE(std::abs(window.left - (screenWidth - width) / 2), 1);
    EXPECT_LE(std::abs(window.top - (screenHeight - height) / 2), 1);
}

// Windows XP: no themed window background, whatever the theme says.
TEST(MainDialogWinXp, StaticsAndDialogUseTheButtonFace) {
    ASSERT_FALSE(IsVistaOrLater());
    EXPECT_EQ(StaticBackgroundIndex(), COLOR_BTNFACE);
    TempDir dir;
    MainDialogRun run(dir.Path());
    ASSERT_NE(run.Window(), nullptr);
    HDC context = CreateCompatibleDC(nullptr);
    SendMessageW(run.Window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(context),
                 reinterpret_cast<LPARAM>(run.Item(IDC_STATUS)));
    EXPECT_EQ(GetBkColor(context), GetSysColor(COLOR_BTNFACE));
    DeleteDC(context);
    EXPECT_EQ(SendMessageW(run.Window(), WM_CTLCOLORDLG, 0, 0),
              reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)));
}
