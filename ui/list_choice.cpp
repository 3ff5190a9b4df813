#include "ui/list_choice.h"

#include <commdlg.h>

#include <string>

#include "app/handles.h"
#include "app/job_context.h"
#include "app/text.h"
#include "engine/list_texts.h"
#include "engine/saved_times.h"
#include "res/resource.h"
#include "ui/job_controller.h"

namespace {

void ShowError(HWND dialog, const std::wstring &text) {
    wchar_t title[TextSlotCapacity];
    CopyText(title, TextSlotCapacity, LoadText(IDS_PRODUCT));
    MessageBoxW(dialog, text.c_str(), title, MB_OK | MB_ICONERROR);
}

} // namespace

bool ChooseSavedList(HWND dialog) {
    wchar_t filter[128];
    CopyText(filter, ARRAYSIZE(filter), LoadText(IDS_SAVE_FILTER));
    for (wchar_t *c = filter; *c; ++c)
        if (*c == L'|')
            *c = L'\0';
    wchar_t title[TextSlotCapacity];
    CopyText(title, TextSlotCapacity, LoadText(IDS_LIST_OPEN_TITLE));
    std::wstring path(PathCapacity, L'\0');
    OPENFILENAMEW open = {};
    open.lStructSize = sizeof open;
    open.hwndOwner = dialog;
    open.lpstrFilter = filter;
    open.lpstrFile = &path[0];
    open.nMaxFile = PathCapacity;
    open.lpstrTitle = title;
    open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&open))
        return false;
    path.resize(lstrlenW(path.c_str()));
    DWORD code = ERROR_SUCCESS;
    ListProblem problem;
    if (savedTimes.Load(path.c_str(), KnownListColumns(), &code, &problem))
        return true;
    if (code != ERROR_SUCCESS)
        ShowError(dialog, ListUnreadableText(path.c_str(), code));
    else
        ShowError(dialog, ListProblemText(path.c_str(), problem));
    return false;
}
