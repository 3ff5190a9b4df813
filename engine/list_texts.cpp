#include "engine/list_texts.h"

#include <cstdarg>

#include "app/handles.h"
#include "app/job_context.h"
#include "app/text.h"
#include "engine/preview.h"
#include "res/resource.h"

// The system's own words, without the line break the system ends them with.
std::wstring SystemText(DWORD code) {
    wchar_t *reason = nullptr;
    if (!FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                            FORMAT_MESSAGE_IGNORE_INSERTS,
                        nullptr, code, 0, reinterpret_cast<wchar_t *>(&reason), 0, nullptr) ||
        !reason)
        return std::wstring();
    UniqueLocalMemory owner(reason);
    std::wstring text = reason;
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

namespace {

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

} // namespace

UINT StampNameId(int stamp) {
    return stamp == StampIndexCreated   ? IDS_STAMP_CREATED
           : stamp == StampIndexWritten ? IDS_STAMP_MODIFIED
                                        : IDS_STAMP_ACCESSED;
}

std::vector<std::wstring> ListColumnTitles(uint8_t stamps, TimeRule rule) {
    std::vector<std::wstring> titles(1, LoadText(IDS_COLUMN_ITEM));
    for (int stamp : PreviewStampOrder) {
        if (!(stamps & (1u << stamp)))
            continue;
        wchar_t name[64], title[128];
        CopyText(name, ARRAYSIZE(name), LoadText(StampNameId(stamp)));
        for (UINT format : {IDS_COLUMN_NOW, IDS_COLUMN_NEW}) {
            FormatText(title, ARRAYSIZE(title), LoadText(format), name);
            titles.push_back(title);
        }
    }
    if (RuleNeedsItemDate(rule))
        titles.push_back(LoadText(IDS_COLUMN_SOURCE));
    return titles;
}

const wchar_t *SourceName(TimeSource source) {
    return source == TimeSource::None ? L""
                                      : LoadText(IDS_SOURCE_EXIF + static_cast<UINT>(source) -
                                                 static_cast<UINT>(TimeSource::Exif));
}

std::vector<std::wstring> SourceNames() {
    std::vector<std::wstring> names(1); // TimeSource::None has none
    for (int source = static_cast<int>(TimeSource::Exif);
         source <= static_cast<int>(TimeSource::NewestInside); ++source)
        names.push_back(SourceName(static_cast<TimeSource>(source)));
    return names;
}

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

std::wstring ListUnreadableText(const wchar_t *path, DWORD code) {
    return Formatted(IDS_LIST_UNREADABLE, path) + L"\n\n" + SystemText(code);
}
