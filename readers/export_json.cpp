#include "readers/export_json.h"

#include <vector>

#include "readers/utf8.h"

namespace {

// Deeper nesting is no such file, and would cost stack.
constexpr int MaxDepth = 64;
// What the stamps can hold, 1601-01-01 to 9999-12-31, in seconds from 1970.
constexpr int64_t MinSeconds = -11644473600;
constexpr int64_t MaxSeconds = 253402300799;
// More digits than MaxSeconds has are out of range anyway, and could overflow.
constexpr int MaxDigits = 15;

void Append(std::wstring *text, uint32_t c) {
    if (text)
        AppendCodePoint(text, c);
}

// "-?digits" as a time the stamps can hold.
bool Seconds(const std::wstring &text, int64_t *seconds) {
    size_t i = !text.empty() && text[0] == L'-' ? 1 : 0;
    if (i == text.size() || text.size() - i > MaxDigits)
        return false;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
        value = value * 10 + (text[i] - L'0');
    }
    *seconds = text[0] == L'-' ? -value : value;
    return *seconds >= MinSeconds && *seconds <= MaxSeconds;
}

class Parser {
  public:
    Parser(const uint8_t *begin, const uint8_t *end) : p_(begin), end_(end) {}

    bool Document(ExportJson *out) {
        if (end_ - p_ >= 3 && p_[0] == 0xEF && p_[1] == 0xBB && p_[2] == 0xBF)
            p_ += 3; // a byte-order mark
        Space();
        bool ok = Object(1, [&](const std::wstring &key) {
            if (key == L"title" && Next('"')) {
                out->title.clear(); // the last one counts, as for any repeated key
                return String(&out->title);
            }
            if (key == L"photoTakenTime" && Next('{'))
                return Object(2, [&](const std::wstring &inner) {
                    return inner == L"timestamp" ? Timestamp(out) : Value(2);
                });
            return Value(1);
        });
        Space();
        return ok && p_ == end_;
    }

  private:
    bool Next(char c) const { return p_ != end_ && *p_ == uint8_t(c); }
    bool Take(char c) {
        if (!Next(c))
            return false;
        ++p_;
        return true;
    }
    void Space() {
        while (Next(' ') || Next('\t') || Next('\n') || Next('\r'))
            ++p_;
    }
    bool Word(const char *word) {
        for (; *word; ++word)
            if (!Take(*word))
                return false;
        return true;
    }

    bool Value(int depth) {
        if (p_ == end_)
            return false;
        switch (*p_) {
        case '{':
            return Object(depth + 1, [&](const std::wstring &) { return Value(depth + 1); });
        case '[':
            return Array(depth + 1);
        case '"':
            return String(nullptr);
        case 't':
            return Word("true");
        case 'f':
            return Word("false");
        case 'n':
            return Word("null");
        default: {
            bool integer;
            int64_t value;
            return Number(&integer, &value);
        }
        }
    }

    // onMember parses the value of each key.
    template <typename OnMember> bool Object(int depth, OnMember onMember) {
        if (depth > MaxDepth || !Take('{'))
            return false;
        Space();
        if (Take('}'))
            return true;
        for (;;) {
            std::wstring key;
            Space();
            if (!String(&key))
                return false;
            Space();
            if (!Take(':'))
                return false;
            Space();
            if (!onMember(key))
                return false;
            Space();
            if (Take('}'))
                return true;
            if (!Take(','))
                return false;
        }
    }

    bool Array(int depth) {
        if (depth > MaxDepth || !Take('['))
            return false;
        Space();
        if (Take(']'))
            return true;
        for (;;) {
            Space();
            if (!Value(depth))
                return false;
            Space();
            if (Take(']'))
                return true;
            if (!Take(','))
                return false;
        }
    }

    // As a string of digits, as written, or as a JSON number.
    bool Timestamp(ExportJson *out) {
        int64_t seconds = 0;
        if (Next('"')) {
            std::wstring text;
            if (!String(&text))
                return false;
            out->hasTaken = Seconds(text, &seconds);
        } else if (Next('-') || (p_ != end_ && *p_ >= '0' && *p_ <= '9')) {
            bool integer;
            if (!Number(&integer, &seconds))
                return false;
            out->hasTaken = integer && seconds >= MinSeconds && seconds <= MaxSeconds;
        } else {
            out->hasTaken = false;
            return Value(2);
        }
        // Zero is a time never set, as in a movie header, not a photo of 1970's first second.
        out->hasTaken = out->hasTaken && seconds != 0;
        out->takenSeconds = out->hasTaken ? seconds : 0;
        return true;
    }

    // integer when it has neither fraction nor exponent and fits in value.
    bool Number(bool *integer, int64_t *value) {
        bool negative = Take('-');
        *integer = true;
        *value = 0;
        auto digits = [&](bool keep) {
            const uint8_t *start = p_;
            for (; p_ != end_ && *p_ >= '0' && *p_ <= '9'; ++p_) {
                if (keep && p_ - start < MaxDigits)
                    *value = *value * 10 + (*p_ - '0');
                else if (keep)
                    *integer = false;
            }
            return p_ != start;
        };
        if (Next('0'))
            ++p_;
        else if (!digits(true))
            return false;
        if (Take('.')) {
            *integer = false;
            if (!digits(false))
                return false;
        }
        if (Take('e') || Take('E')) {
            *integer = false;
            if (!Take('+'))
                Take('-');
            if (!digits(false))
                return false;
        }
        if (negative)
            *value = -*value;
        return true;
    }

    // With text null, only checked.
    bool String(std::wstring *text) {
        if (!Take('"'))
            return false;
        while (p_ != end_) {
            uint8_t c = *p_;
            if (c == '"') {
                ++p_;
                return true;
            }
            uint32_t code;
            if (c < 0x20) {
                return false;
            } else if (c == '\\') {
                if (!Escape(&code))
                    return false;
            } else if (c >= 0x80) {
                if (!Utf8(&code))
                    return false;
            } else {
                code = c;
                ++p_;
            }
            Append(text, code);
        }
        return false;
    }

    bool Escape(uint32_t *code) {
        ++p_;
        if (p_ == end_)
            return false;
        static const char from[] = "\"\\/bfnrt", to[] = "\"\\/\b\f\n\r\t";
        for (int i = 0; from[i]; ++i) {
            if (*p_ == uint8_t(from[i])) {
                *code = uint8_t(to[i]);
                ++p_;
                return true;
            }
        }
        if (!Take('u') || !Hex(code))
            return false;
        if (*code >= 0xDC00 && *code <= 0xDFFF) {
            *code = 0xFFFD; // a low surrogate alone
        } else if (*code >= 0xD800 && *code <= 0xDBFF) {
            uint32_t low;
            const uint8_t *back = p_;
            if (Take('\\') && Take('u') && Hex(&low) && low >= 0xDC00 && low <= 0xDFFF) {
                *code = 0x10000 + ((*code - 0xD800) << 10) + (low - 0xDC00);
            } else {
                p_ = back; // whatever follows is read on its own
                *code = 0xFFFD;
            }
        }
        return true;
    }

    bool Hex(uint32_t *value) {
        if (end_ - p_ < 4)
            return false;
        *value = 0;
        for (int i = 0; i < 4; ++i, ++p_) {
            uint8_t c = *p_;
            int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
            if (digit < 0)
                return false;
            *value = *value << 4 | uint32_t(digit);
        }
        return true;
    }

    bool Utf8(uint32_t *code) { return NextUtf8(p_, end_, code); }

    const uint8_t *p_;
    const uint8_t *end_;
};

} // namespace

bool ReadExportJson(ByteReader &reader, ExportJson *out) {
    *out = ExportJson();
    uint64_t size = reader.Size();
    if (size == 0 || size > ExportJsonReadBudget)
        return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!reader.Read(0, bytes.data(), bytes.size()))
        return false;
    ExportJson json;
    if (!Parser(bytes.data(), bytes.data() + bytes.size()).Document(&json))
        return false;
    *out = std::move(json);
    return true;
}
