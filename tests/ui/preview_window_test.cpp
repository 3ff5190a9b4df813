// The real preview window over a list made here: whole paths, typing to find an item, and its
// margins and smallest size on a monitor of another scale.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/job_context.h"
#include "engine/preview.h"
#include "engine/time_rule.h"
#include "res/resource.h"
#include "ui/job_controller.h"
#include "ui/dpi.h"
#include "ui/preview_dialog.h"

namespace {

class PreviewWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        previewList.Begin(1u << StampIndexWritten);
        const FILETIME now[StampKinds] = {};
        RulePlan plan;
        for (const std::wstring &path : {std::wstring(200, L'a') + L"\\long.txt",
                                         std::wstring(L"Beta\\b.txt"), std::wstring(L"gamma.txt")})
            previewList.Add(path.c_str(), path.size(), now, plan, false);
        window = CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_PREVIEW), nullptr,
                                    PreviewDialogProc, 0);
        ASSERT_NE(nullptr, window);
    }
    void TearDown() override {
        DestroyWindow(window);
        previewList.Clear();
    }
    HWND List() const { return GetDlgItem(window, IDC_PREVIEW_LIST); }
    SIZE Smallest() const {
        MINMAXINFO info = {};
        SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        return {info.ptMinTrackSize.x, info.ptMinTrackSize.y};
    }
    HWND window = nullptr;
};

TEST_F(PreviewWindow, ShowsEveryPathWholeAndTypingFindsTheItemThatBeginsSo) {
    std::wstring text(1024, L'\0');
    LVITEMW item = {};
    item.pszText = &text[0];
    item.cchTextMax = static_cast<int>(text.size());
    const LRESULT length =
        SendMessageW(List(), LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(previewList.Row(0).path, text.substr(0, length));
    for (const auto &typed :
         {std::make_pair(L"beta\\", 1), std::make_pair(L"GAM", 2), std::make_pair(L"delta", -1)}) {
        LVFINDINFOW find = {};
        find.flags = LVFI_STRING | LVFI_PARTIAL | LVFI_WRAP;
        find.psz = typed.first;
        EXPECT_EQ(typed.second, SendMessageW(List(), LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                             reinterpret_cast<LPARAM>(&find)))
            << typed.first;
    }
}

TEST_F(PreviewWindow, OnAMonitorOfAnotherScaleItsMarginsAndSmallestSizeScaleToo) {
    // The distance of the list's right edge from the client area's.
    const auto margin = [&] {
        RECT client, list;
        GetClientRect(window, &client);
        GetWindowRect(List(), &list);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT *>(&list), 2);
        return client.right - list.right;
    };
    RECT frame;
    GetWindowRect(window, &frame);
    const SIZE before = Smallest();
    const LONG marginBefore = margin();
    RECT suggested = {frame.left, frame.top, frame.left + 2 * (frame.right - frame.left),
                      frame.top + 2 * (frame.bottom - frame.top)};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(2 * before.cx, Smallest().cx);
    EXPECT_EQ(2 * before.cy, Smallest().cy);
    EXPECT_EQ(2 * marginBefore, margin()) << "the list's margin kept its pixels";
}

TEST_F(PreviewWindow, ARuleThatFindsTimesShowsWhereEachCameFrom) {
    DestroyWindow(window);
    previewList.Begin(1u << StampIndexWritten, RuleDateTaken);
    RulePlan plan;
    plan.source = TimeSource::ExportJson;
    const FILETIME now[StampKinds] = {};
    previewList.Add(L"taken.jpg", 9, now, plan, false);
    window = CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_PREVIEW), nullptr,
                                PreviewDialogProc, 0);
    const HWND header = reinterpret_cast<HWND>(SendMessageW(List(), LVM_GETHEADER, 0, 0));
    ASSERT_EQ(4, SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) << "item, now, new, source";
    wchar_t text[64] = {};
    LVITEMW item = {};
    item.iSubItem = 3;
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(List(), LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(SourceName(TimeSource::ExportJson)), text);
}

} // namespace
