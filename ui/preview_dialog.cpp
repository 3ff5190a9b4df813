#include "ui/preview_dialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>

#include "app/handles.h"
#include "app/job_context.h"
#include "app/text.h"
#include "engine/list_file.h"
#include "engine/list_texts.h"
#include "engine/preview.h"
#include "engine/time_rule.h"
#include "res/resource.h"
#include "ui/job_controller.h"
#include "ui/dpi.h"
#include "ui/list_choice.h"

namespace {

// Where the controls sit against the window's edges, taken from the template at start-up.
struct Layout {
    UINT dpi = DefaultDpi; // the resolution the lengths below are for
    SIZE minimum = {};
    RECT list = {}; // distances of the list from the client edges (right and bottom as margins)
    POINT buttons[3] = {}; // distances of each button's top-left from the bottom-right corner
    int summaryRight = 0;
};
Layout layout;
const int layoutButtons[3] = {IDC_PREVIEW_APPLY, IDC_PREVIEW_SAVE, IDCANCEL};

WindowIcons previewIcons;

// One text the list view asks for; it copies the text before it asks again. A path is shown
// whole, however long.
wchar_t cellText[PathCapacity];

HWND List(HWND window) {
    return GetDlgItem(window, IDC_PREVIEW_LIST);
}

RECT ChildRect(HWND window, int id) {
    RECT rect = {};
    GetWindowRect(GetDlgItem(window, id), &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT *>(&rect), 2);
    return rect;
}

void RememberLayout(HWND window) {
    RECT client, frame;
    GetClientRect(window, &client);
    GetWindowRect(window, &frame);
    layout.minimum = {frame.right - frame.left, frame.bottom - frame.top};
    const RECT list = ChildRect(window, IDC_PREVIEW_LIST);
    layout.list = {list.left, list.top, client.right - list.right, client.bottom - list.bottom};
    for (int i = 0; i < 3; ++i) {
        const RECT button = ChildRect(window, layoutButtons[i]);
        layout.buttons[i] = {client.right - button.left, client.bottom - button.top};
    }
    layout.summaryRight = client.right - ChildRect(window, IDC_PREVIEW_SUMMARY).right;
    layout.dpi = WindowDpi(window);
}

// On a monitor of another scale the margins and the smallest size scale with the window.
void ScaleLayout(UINT dpi) {
    const auto scale = [&](LONG &length) {
        length = MulDiv(length, static_cast<int>(dpi), static_cast<int>(layout.dpi));
    };
    scale(layout.minimum.cx);
    scale(layout.minimum.cy);
    scale(layout.list.left);
    scale(layout.list.top);
    scale(layout.list.right);
    scale(layout.list.bottom);
    for (POINT &button : layout.buttons) {
        scale(button.x);
        scale(button.y);
    }
    LONG summary = layout.summaryRight;
    scale(summary);
    layout.summaryRight = summary;
    layout.dpi = dpi;
}

// Whether the list shows where each new time came from: for the rules that find one.
bool ShowsSource() {
    return RuleNeedsItemDate(previewList.Rule());
}

int StampsShown() {
    int shown = 0;
    for (int kind : PreviewStampOrder)
        shown += (previewList.Stamps() & (1u << kind)) != 0;
    return shown;
}

// The stamp in use that a column after the first shows, and whether it is the new time.
bool ColumnStamp(int column, int *stamp, bool *isNew) {
    int index = 1;
    for (int kind : PreviewStampOrder) {
        if (!(previewList.Stamps() & (1u << kind)))
            continue;
        if (column == index || column == index + 1) {
            *stamp = kind;
            *isNew = column == index + 1;
            return true;
        }
        index += 2;
    }
    return false;
}

// A time in the user's own date and time formats, as local time of its date.
void FormatLocal(const FILETIME &utc, wchar_t *text, int capacity) {
    SYSTEMTIME universal = {}, local = {};
    text[0] = L'\0';
    if (!FileTimeToSystemTime(&utc, &universal) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return;
    const int date =
        GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, text, capacity);
    if (date <= 0 || date >= capacity - 1)
        return;
    text[date - 1] = L' ';
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &local, nullptr, text + date, capacity - date);
}

void CellText(size_t item, int column, wchar_t *text, int capacity) {
    const PreviewRow &row = previewList.Row(item);
    int stamp = 0;
    bool isNew = false;
    if (column == 0) {
        CopyText(text, capacity, row.path[0] ? row.path : L".");
    } else if (ShowsSource() && column == 1 + 2 * StampsShown()) {
        CopyText(text, capacity, row.source == TimeSource::None ? L"" : SourceName(row.source));
    } else if (!ColumnStamp(column, &stamp, &isNew)) {
        text[0] = L'\0';
    } else if (isNew && (row.refused & (1u << stamp))) {
        CopyText(text, capacity, LoadText(IDS_MARK_OUT_OF_RANGE));
    } else if (isNew && (row.flags & PreviewNotInList)) {
        CopyText(text, capacity, LoadText(IDS_MARK_NOT_IN_LIST));
    } else if (isNew && (row.flags & PreviewNoDate)) {
        CopyText(text, capacity, LoadText(IDS_MARK_NO_DATE));
    } else if (isNew && !(row.changes & (1u << stamp))) {
        CopyText(text, capacity, LoadText(IDS_MARK_UNCHANGED));
    } else {
        FormatLocal(isNew ? row.next[stamp] : row.now[stamp], text, capacity);
    }
}

void AddColumns(HWND window) {
    const std::vector<std::wstring> titles = PreviewColumns();
    for (size_t i = 0; i < titles.size(); ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t *>(titles[i].c_str());
        column.cx = MulDiv(i == 0 ? 200 : 130, static_cast<int>(WindowDpi(window)), 96);
        SendMessageW(List(window), LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void ShowSummary(HWND window) {
    wchar_t text[256];
    FormatText(text, 256, LoadText(IDS_PREVIEW_SUMMARY), static_cast<unsigned>(previewList.Size()),
               previewList.Changing());
    const struct {
        uint32_t count;
        UINT format;
    } parts[] = {{previewList.Undated() - previewList.NotInList(), IDS_PREVIEW_NO_DATE},
                 {previewList.NotInList(), IDS_NOT_IN_LIST_COUNT},
                 {previewList.ListLinesGone(), IDS_PREVIEW_LIST_GONE},
                 {previewList.OutOfRange(), IDS_PREVIEW_OUT_OF_RANGE}};
    for (const auto &part : parts) {
        if (part.count == 0)
            continue;
        const size_t length = lstrlenW(text);
        FormatText(text + length, 256 - length, LoadText(part.format), part.count);
    }
    SetDlgItemTextW(window, IDC_PREVIEW_SUMMARY, text);
}

BOOL OnInitDialog(HWND window) {
    previewIcons.Show(window, WindowDpi(window));
    RememberLayout(window);
    SendMessageW(List(window), LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    AddColumns(window);
    SendMessageW(List(window), LVM_SETITEMCOUNT, previewList.Size(), 0);
    ShowSummary(window);
    return TRUE;
}

void OnSize(HWND window, int width, int height) {
    const HWND list = List(window);
    MoveWindow(list, layout.list.left, layout.list.top,
               width - layout.list.left - layout.list.right,
               height - layout.list.top - layout.list.bottom, TRUE);
    for (int i = 0; i < 3; ++i) {
        const HWND button = GetDlgItem(window, layoutButtons[i]);
        RECT rect = ChildRect(window, layoutButtons[i]);
        MoveWindow(button, width - layout.buttons[i].x, height - layout.buttons[i].y,
                   rect.right - rect.left, rect.bottom - rect.top, TRUE);
    }
    const RECT summary = ChildRect(window, IDC_PREVIEW_SUMMARY);
    MoveWindow(GetDlgItem(window, IDC_PREVIEW_SUMMARY), summary.left, summary.top,
               width - layout.summaryRight - summary.left, summary.bottom - summary.top, TRUE);
}

void OnGetDisplayInfo(NMLVDISPINFOW *info) {
    if (!(info->item.mask & LVIF_TEXT) || info->item.iItem < 0 ||
        static_cast<size_t>(info->item.iItem) >= previewList.Size())
        return;
    CellText(info->item.iItem, info->item.iSubItem, cellText, ARRAYSIZE(cellText));
    info->item.pszText = cellText;
}

// Typing in the list selects the next item whose path begins with what was typed.
LRESULT OnFindItem(const NMLVFINDITEMW *find) {
    const size_t count = previewList.Size();
    if (!(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find->lvfi.psz || count == 0)
        return -1;
    const int typed = lstrlenW(find->lvfi.psz);
    const size_t start = find->iStart >= 0 && static_cast<size_t>(find->iStart) < count
                             ? static_cast<size_t>(find->iStart)
                             : 0;
    for (size_t step = 0; step < count; ++step) {
        const size_t index = (start + step) % count;
        if (!(find->lvfi.flags & LVFI_WRAP) && index < start)
            break;
        const wchar_t *path = previewList.Row(index).path;
        if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, path,
                           std::min(lstrlenW(path), typed), find->lvfi.psz, typed) == CSTR_EQUAL)
            return static_cast<LRESULT>(index);
    }
    return -1;
}

// The failure with the system's own words for it.
std::wstring SaveFailureText(DWORD code) {
    const std::wstring reason = SystemText(code);
    return std::wstring(LoadText(IDS_SAVE_FAILED)) + (reason.empty() ? L"" : L"\n\n" + reason);
}

void OnSave(HWND window) {
    std::wstring path;
    if (!AskForListFile(window, true, &path))
        return;
    ListTexts texts;
    texts.header = PreviewColumns();
    texts.outOfRange = LoadText(IDS_MARK_OUT_OF_RANGE);
    texts.separator = ListSeparator();
    if (ShowsSource())
        texts.sources = SourceNames();
    const DWORD code = WriteFileReplacing(path.c_str(), PreviewCsv(previewList, texts));
    if (code != ERROR_SUCCESS) {
        wchar_t title[64];
        CopyText(title, ARRAYSIZE(title), LoadText(IDS_PRODUCT));
        MessageBoxW(window, SaveFailureText(code).c_str(), title, MB_OK | MB_ICONERROR);
    }
}

void OnMinMaxInfo(MINMAXINFO *info) {
    info->ptMinTrackSize.x = layout.minimum.cx;
    info->ptMinTrackSize.y = layout.minimum.cy;
}

} // namespace

std::vector<std::wstring> PreviewColumns() {
    return ListColumnTitles(previewList.Stamps(), previewList.Rule());
}

INT_PTR ShowPreview(HWND owner) {
    return DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_PREVIEW), owner, PreviewDialogProc, 0);
}

INT_PTR CALLBACK PreviewDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_SIZE:
        OnSize(window, LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_DPICHANGED:
        ScaleLayout(LOWORD(wParam));
        TakeSuggestedRect(window, lParam);
        previewIcons.Show(window, LOWORD(wParam));
        return TRUE;
    case WM_DESTROY:
        previewIcons.Clear(window);
        return FALSE;
    case WM_GETMINMAXINFO:
        OnMinMaxInfo(reinterpret_cast<MINMAXINFO *>(lParam));
        return TRUE;
    case WM_NOTIFY: {
        const auto *header = reinterpret_cast<NMHDR *>(lParam);
        if (header->idFrom == IDC_PREVIEW_LIST && header->code == LVN_GETDISPINFOW)
            OnGetDisplayInfo(reinterpret_cast<NMLVDISPINFOW *>(lParam));
        if (header->idFrom == IDC_PREVIEW_LIST && header->code == LVN_ODFINDITEMW) {
            SetWindowLongPtrW(window, DWLP_MSGRESULT,
                              OnFindItem(reinterpret_cast<NMLVFINDITEMW *>(lParam)));
            return TRUE;
        }
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_PREVIEW_APPLY:
        case IDCANCEL:
            EndDialog(window, LOWORD(wParam));
            return TRUE;
        case IDC_PREVIEW_SAVE:
            OnSave(window);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
