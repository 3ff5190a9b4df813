#include "readers/saved_list.h"

#include <algorithm>

#include "readers/date_taken.h"
#include "readers/utf8.h"

namespace {

constexpr size_t ChunkSize = 1 << 20;

// The list's text, read in chunks as far as the file goes.
bool ReadAll(ByteReader &reader, std::string *text, ListProblem *problem) {
    const uint64_t size = reader.Size();
    if (size > SavedListMaxBytes) {
        problem->error = ListError::TooLarge;
        return false;
    }
    text->resize(static_cast<size_t>(size));
    for (size_t done = 0; done < text->size();) {
        const size_t chunk = std::min(ChunkSize, text->size() - done);
        if (!reader.Read(done, &(*text)[done], chunk)) {
            text->resize(done);
            break;
        }
        done += chunk;
    }
    if (text->compare(0, 3, "\xEF\xBB\xBF") == 0)
        text->erase(0, 3);
    return true;
}

// Splits the text into lines of fields; a quoted field may hold separators, quotes written
// twice and line breaks.
class Fields {
  public:
    Fields(const std::string &text, char separator) : text_(text), separator_(separator) {}
    bool AtEnd() const { return at_ >= text_.size(); }
    uint32_t Line() const { return line_; }
    // The fields of the next line; false for a quoted field that does not end.
    bool Next(std::vector<std::string> *fields) {
        fields->assign(1, std::string());
        ++line_;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '"' && fields->back().empty() && !quotedBefore_) {
                if (!Quoted(&fields->back()))
                    return false;
                continue;
            }
            ++at_;
            if (c == separator_) {
                fields->emplace_back();
                quotedBefore_ = false;
            } else if (c == '\n') {
                break;
            } else if (c != '\r') {
                fields->back() += c;
            }
        }
        quotedBefore_ = false;
        return true;
    }

  private:
    bool Quoted(std::string *field) {
        quotedBefore_ = true;
        const uint32_t first = line_;
        for (++at_; at_ < text_.size(); ++at_) {
            const char c = text_[at_];
            if (c == '"') {
                if (at_ + 1 < text_.size() && text_[at_ + 1] == '"') {
                    *field += '"';
                    ++at_;
                    continue;
                }
                ++at_;
                return true;
            }
            *field += c;
        }
        line_ = first;
        return false;
    }
    const std::string &text_;
    char separator_;
    size_t at_ = 0;
    uint32_t line_ = 0;
    bool quotedBefore_ = false;
};

// The first separator of the header outside quotes.
char SeparatorOf(const std::string &text) {
    bool quoted = false;
    for (char c : text) {
        if (c == '\n')
            break;
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == ',' || c == ';' || c == '\t'))
            return c;
    }
    return ',';
}

std::wstring Trimmed(const std::wstring &text) {
    const size_t first = text.find_first_not_of(L" \t");
    const size_t last = text.find_last_not_of(L" \t");
    return first == std::wstring::npos ? std::wstring() : text.substr(first, last - first + 1);
}

bool Fail(ListProblem *problem, ListError error, uint32_t line, const std::wstring &field = {}) {
    problem->error = error;
    problem->line = line;
    problem->field = field;
    return false;
}

} // namespace

bool ReadSavedList(ByteReader &reader, const ListColumns &columns, std::vector<ListEntry> *entries,
                   ListProblem *problem) {
    entries->clear();
    *problem = ListProblem();
    std::string text;
    if (!ReadAll(reader, &text, problem))
        return false;
    std::wstring wide;
    Fields lines(text, SeparatorOf(text));
    std::vector<std::string> fields;
    if (!lines.Next(&fields))
        return Fail(problem, ListError::UnclosedQuote, lines.Line());
    // Which field holds each stamp's time now.
    int column[ListStamps] = {-1, -1, -1};
    for (size_t i = 1; i < fields.size(); ++i) {
        if (!DecodeUtf8(fields[i], &wide))
            return Fail(problem, ListError::NotText, 1);
        for (int stamp = 0; stamp < ListStamps; ++stamp) {
            const auto &titles = columns.now[stamp];
            if (column[stamp] < 0 &&
                std::find(titles.begin(), titles.end(), Trimmed(wide)) != titles.end())
                column[stamp] = static_cast<int>(i);
        }
    }
    if (std::all_of(column, column + ListStamps, [](int c) { return c < 0; }))
        return Fail(problem, ListError::NoHeader, 1);
    const size_t headerFields = fields.size();
    std::vector<ListEntry> read;
    while (!lines.AtEnd()) {
        if (!lines.Next(&fields))
            return Fail(problem, ListError::UnclosedQuote, lines.Line());
        if (fields.size() == 1 && fields[0].empty())
            continue; // a blank line
        if (fields.size() != headerFields) {
            Fail(problem, ListError::FieldCount, lines.Line());
            problem->fields = fields.size();
            problem->headerFields = headerFields;
            return false;
        }
        ListEntry entry;
        if (!DecodeUtf8(fields[0], &entry.path))
            return Fail(problem, ListError::NotText, lines.Line());
        if (entry.path.empty())
            return Fail(problem, ListError::NoPath, lines.Line());
        for (int stamp = 0; stamp < ListStamps; ++stamp) {
            if (column[stamp] < 0)
                continue;
            const std::string &field = fields[static_cast<size_t>(column[stamp])];
            DateTaken time;
            if (!ReadIsoTime(field, &time)) {
                DecodeUtf8(field, &wide);
                return Fail(problem, ListError::BadTime, lines.Line(), wide);
            }
            entry.has[stamp] = true;
            entry.now[stamp] = ListTime{time.time, time.hasOffset, time.offsetMinutes};
        }
        read.push_back(std::move(entry));
    }
    entries->swap(read);
    return true;
}
