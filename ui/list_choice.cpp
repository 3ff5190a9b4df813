#include "ui/list_choice.h"

#include <commdlg.h>

#include <string>

#include "app/handles.h"
#include "app/job_context.h"
#include "app/text.h"
#include "engine/saved_times.h"
#include "res/resource.h"
#include "ui/job_controller.h"

namespace {

// The system's own words for an error code.
std::wstring SystemText(DWORD code) {
    wchar_t *reason = nullptr;
    if (!FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                            FORMAT_MESSAGE_IGNORE_INSERTS,
                        nullptr, code, 0, reinterpret_cast<wchar_t *>(&reason), 0, nullptr) ||
        !reason)
        return std::wstring();
    UniqueLocalMemory owner(reason);
    return reason;
}

std::wstring Formatted(UINT format, ...) {
    std::wstring text(2 * TextSlotCapacity + PathCapacity, L'\0');
    va_list args;
    va_start(args, format);
    FormatTextV(&text[0], text.size(), LoadText(format), args);
    va_end(args);
    text.resize(lstrlenW(text.c_str()));
    return text;
}

std::wstring Reason(const ListProblem &problem) {
    switch (problem.error) {
    case ListError::TooLarge:
        return LoadText(IDS_LIST_TOO_LARGE);
    case ListError::NotText:
        return LoadText(IDS_LIST_NOT_TEXT);
    case ListError::NoHeader:
        return LoadText(IDS_LIST_NO_HEADER);
    case ListError::UnclosedQuote:
        return LoadText(IDS_LIST_UNCLOSED);
    case ListError::FieldCount:
        return Formatted(IDS_LIST_FIELD_COUNT, static_cast<unsigned>(problem.fields),
                         static_cast<unsigned>(problem.headerFields));
    case ListError::NoPath:
        return LoadText(IDS_LIST_NO_PATH);
    case ListError::BadTime:
        return Formatted(IDS_LIST_BAD_TIME, problem.field.c_str());
    case ListError::None:
        break;
    }
    return std::wstring();
}

void ShowError(HWND dialog, const std::wstring &text) {
    wchar_t title[TextSlotCapacity];
    CopyText(title, TextSlotCapacity, LoadText(IDS_PRODUCT));
    MessageBoxW(dialog, text.c_str(), title, MB_OK | MB_ICONERROR);
}

} // namespace

ListColumns KnownListColumns() {
    const UINT names[ListStamps] = {IDS_STAMP_CREATED, IDS_STAMP_ACCESSED, IDS_STAMP_MODIFIED};
    ListColumns columns;
    for (LANGID language : ResourceLanguages) {
        const std::wstring format = LoadTextIn(IDS_COLUMN_NOW, language);
        for (int stamp = 0; stamp < ListStamps; ++stamp) {
            wchar_t title[TextSlotCapacity];
            FormatText(title, TextSlotCapacity, format.c_str(),
                       LoadTextIn(names[stamp], language).c_str());
            columns.now[stamp].push_back(title);
        }
    }
    return columns;
}

std::wstring ListProblemText(const wchar_t *path, const ListProblem &problem) {
    return Formatted(IDS_LIST_LINE, problem.line, path, Reason(problem).c_str());
}

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
        ShowError(dialog,
                  Formatted(IDS_LIST_UNREADABLE, path.c_str()) + L"\n\n" + SystemText(code));
    else
        ShowError(dialog, ListProblemText(path.c_str(), problem));
    return false;
}
