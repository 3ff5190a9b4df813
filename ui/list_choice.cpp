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

bool AskForListFile(HWND owner, bool forSaving, std::wstring *path) {
    wchar_t filter[128];
    CopyText(filter, ARRAYSIZE(filter), LoadText(IDS_SAVE_FILTER));
    for (wchar_t *c = filter; *c; ++c)
        if (*c == L'|')
            *c = L'\0';
    wchar_t title[TextSlotCapacity];
    CopyText(title, TextSlotCapacity, LoadText(IDS_LIST_OPEN_TITLE));
    // The dialog takes a path of any length the system takes.
    std::wstring chosen(PathCapacity, L'\0');
    if (forSaving)
        CopyText(&chosen[0], PathCapacity, LoadText(IDS_SAVE_NAME));
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = &chosen[0];
    dialog.nMaxFile = PathCapacity;
    dialog.lpstrDefExt = L"csv";
    dialog.lpstrTitle = forSaving ? nullptr : title;
    dialog.Flags = (forSaving ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST) | OFN_PATHMUSTEXIST |
                   OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!(forSaving ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog)))
        return false;
    chosen.resize(lstrlenW(chosen.c_str()));
    *path = chosen;
    return true;
}

bool ChooseSavedList(HWND dialog) {
    std::wstring path;
    if (!AskForListFile(dialog, false, &path))
        return false;
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
