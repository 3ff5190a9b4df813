#include "engine/preview.h"

#include <cstring>

#include "app/text.h"

PreviewList previewList;

void PreviewList::Begin(uint8_t stamps) {
    Clear();
    stamps_ = stamps;
}

void PreviewList::Clear() {
    rows_.clear();
    rows_.shrink_to_fit();
    blocks_.clear();
    blockUsed_ = BlockCharacters;
    stamps_ = 0;
    changing_ = 0;
    undated_ = 0;
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
    row.flags = (folder ? PreviewFolder : 0) | (plan.noDate ? PreviewNoDate : 0) |
                (plan.outOfRange ? PreviewOutOfRange : 0);
    rows_.push_back(row);
    if (plan.Changes())
        ++changing_;
    if (plan.noDate)
        ++undated_;
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

// A field quoted where it holds a separator, a quote or a line break.
void AppendField(std::string *line, const std::wstring &field) {
    const std::string bytes = Utf8(field);
    if (bytes.find_first_of(",\"\r\n") == std::string::npos) {
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

} // namespace

std::wstring IsoLocalTime(const FILETIME &utc) {
    SYSTEMTIME universal = {}, local = {};
    if (!FileTimeToSystemTime(&utc, &universal) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return std::wstring();
    wchar_t text[32];
    FormatText(text, 32, L"%04u-%02u-%02uT%02u:%02u:%02u", local.wYear, local.wMonth, local.wDay,
               local.wHour, local.wMinute, local.wSecond);
    return text;
}

std::string PreviewCsv(const PreviewList &list, const std::vector<std::wstring> &header) {
    std::string csv = "\xEF\xBB\xBF";
    std::string line;
    for (const std::wstring &name : header) {
        if (!line.empty())
            line += ',';
        std::string field;
        AppendField(&field, name);
        line += field;
    }
    csv += line + "\r\n";
    for (size_t i = 0; i < list.Size(); ++i) {
        const PreviewRow &row = list.Row(i);
        std::string fields;
        AppendField(&fields, row.path);
        for (int stamp : PreviewStampOrder) {
            if (!(list.Stamps() & (1u << stamp)))
                continue;
            fields += ',' + Utf8(IsoLocalTime(row.now[stamp]));
            fields += ',' + Utf8(IsoLocalTime(row.next[stamp]));
        }
        csv += fields + "\r\n";
    }
    return csv;
}
