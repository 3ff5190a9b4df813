#include "engine/preview.h"

#include <cstring>

#include "app/text.h"

void PreviewList::Begin(uint8_t stamps, TimeRule rule) {
    Clear();
    stamps_ = stamps;
    rule_ = rule;
}

void PreviewList::Clear() {
    rows_.clear();
    rows_.shrink_to_fit();
    blocks_.clear();
    blockUsed_ = BlockCharacters;
    stamps_ = 0;
    rule_ = RuleSetDates;
    changing_ = 0;
    undated_ = 0;
    outOfRange_ = 0;
    notInList_ = 0;
    listLinesGone_ = 0;
}

wchar_t *PreviewList::Keep(const wchar_t *text, size_t length) {
    if (length + 1 > BlockCharacters - blockUsed_) {
        blocks_.emplace_back(new wchar_t[BlockCharacters]);
        blockUsed_ = 0;
    }
    wchar_t *kept = blocks_.back().get() + blockUsed_;
    std::memcpy(kept, text, length * sizeof(wchar_t));
    kept[length] = L'\0';
    blockUsed_ += length + 1;
    return kept;
}

void PreviewList::Add(const wchar_t *relative, size_t length, const FILETIME (&now)[StampKinds],
                      const RulePlan &plan, bool folder) {
    if (length >= BlockCharacters)
        return; // no path the walk uses is that long
    PreviewRow row = {};
    row.path = Keep(relative, length);
    for (int stamp = 0; stamp < StampKinds; ++stamp) {
        row.now[stamp] = now[stamp];
        row.next[stamp] = plan.write[stamp] ? plan.value[stamp] : now[stamp];
        if (plan.write[stamp])
            row.write |= 1u << stamp;
        if (plan.changes[stamp])
            row.changes |= 1u << stamp;
    }
    row.refused = plan.refused;
    row.flags = (folder ? PreviewFolder : 0) | (plan.noDate ? PreviewNoDate : 0) |
                (plan.outOfRange ? PreviewOutOfRange : 0) | (plan.notInList ? PreviewNotInList : 0);
    row.source = plan.source;
    rows_.push_back(row);
    if (plan.Changes())
        ++changing_;
    if (plan.noDate)
        ++undated_;
    if (plan.outOfRange)
        ++outOfRange_;
    if (plan.notInList)
        ++notInList_;
}

size_t PreviewList::BytesReserved() const {
    return rows_.size() * sizeof(PreviewRow) + blocks_.size() * BlockCharacters * sizeof(wchar_t);
}

namespace {

std::string Utf8(const std::wstring &text) {
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0],
                            size, nullptr, nullptr);
    return bytes;
}

// A field quoted where it holds the separator, a quote or a line break.
void AppendField(std::string *line, const std::wstring &field, wchar_t separator) {
    const std::string bytes = Utf8(field);
    const char special[] = {static_cast<char>(separator), '"', '\r', '\n', '\0'};
    if (bytes.find_first_of(special) == std::string::npos) {
        *line += bytes;
        return;
    }
    *line += '"';
    for (char c : bytes) {
        if (c == '"')
            *line += '"';
        *line += c;
    }
    *line += '"';
}

constexpr uint64_t TicksPerSecond = 10000000;

uint64_t Ticks(const FILETIME &time) {
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

} // namespace

std::wstring IsoLocalTime(const FILETIME &utc) {
    SYSTEMTIME universal = {}, local = {};
    FILETIME wall = {};
    if (!FileTimeToSystemTime(&utc, &universal) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return std::wstring();
    local.wMilliseconds = 0;
    universal.wMilliseconds = 0;
    FILETIME second = {};
    if (!SystemTimeToFileTime(&local, &wall) || !SystemTimeToFileTime(&universal, &second))
        return std::wstring();
    const int64_t offset = static_cast<int64_t>(Ticks(wall) - Ticks(second));
    const uint64_t minutes = static_cast<uint64_t>(offset < 0 ? -offset : offset) / 600000000;
    wchar_t text[48];
    FormatText(text, 48, L"%04u-%02u-%02uT%02u:%02u:%02u", local.wYear, local.wMonth, local.wDay,
               local.wHour, local.wMinute, local.wSecond);
    std::wstring iso = text;
    if (const uint64_t fraction = Ticks(utc) % TicksPerSecond) {
        FormatText(text, 48, L".%07u", static_cast<unsigned>(fraction));
        iso += text;
    }
    FormatText(text, 48, L"%c%02u:%02u", offset < 0 ? L'-' : L'+',
               static_cast<unsigned>(minutes / 60), static_cast<unsigned>(minutes % 60));
    return iso + text;
}

wchar_t ListSeparator() {
    wchar_t separator[4] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, separator, 4) == 2 &&
        (separator[0] == L',' || separator[0] == L';' || separator[0] == L'\t'))
        return separator[0];
    return L',';
}

std::string PreviewCsv(const PreviewList &list, const ListTexts &texts) {
    const wchar_t separator = texts.separator;
    const std::string between(1, static_cast<char>(separator));
    std::string csv = "\xEF\xBB\xBF";
    std::string line;
    for (size_t i = 0; i < texts.header.size(); ++i) {
        if (i > 0)
            line += between;
        AppendField(&line, texts.header[i], separator);
    }
    csv += line + "\r\n";
    for (size_t i = 0; i < list.Size(); ++i) {
        const PreviewRow &row = list.Row(i);
        std::string fields;
        AppendField(&fields, row.path[0] ? row.path : L".", separator);
        for (int stamp : PreviewStampOrder) {
            if (!(list.Stamps() & (1u << stamp)))
                continue;
            fields += between + Utf8(IsoLocalTime(row.now[stamp])) + between;
            if (row.refused & (1u << stamp))
                AppendField(&fields, texts.outOfRange, separator);
            else
                fields += Utf8(IsoLocalTime(row.next[stamp]));
        }
        const size_t source = static_cast<size_t>(row.source);
        if (!texts.sources.empty()) {
            fields += between;
            if (source < texts.sources.size() && row.source != TimeSource::None)
                AppendField(&fields, texts.sources[source], separator);
        }
        csv += fields + "\r\n";
    }
    return csv;
}
