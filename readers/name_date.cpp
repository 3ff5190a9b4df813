#include "readers/name_date.h"

#include <cwchar>

namespace {

constexpr int MinYear = 1970;
constexpr int MaxYear = 2099;

class Name {
  public:
    explicit Name(const wchar_t *text) : text_(text), length_(std::wcslen(text)) {}
    wchar_t At(size_t i) const { return i < length_ ? text_[i] : L'\0'; }
    size_t Length() const { return length_; }
    bool IsDigit(size_t i) const { return At(i) >= L'0' && At(i) <= L'9'; }
    // The length of the run of digits that starts at i.
    size_t Run(size_t i) const {
        size_t end = i;
        while (IsDigit(end))
            ++end;
        return end - i;
    }
    // The number of exactly n digits at i: a longer run is another number.
    int Number(size_t i, size_t n) const {
        if (Run(i) != n || (i > 0 && IsDigit(i - 1)))
            return -1;
        return Digits(i, n);
    }
    // n digits at i, whatever follows them.
    int Digits(size_t i, size_t n) const {
        int value = 0;
        for (size_t k = i; k < i + n; ++k)
            value = IsDigit(k) ? value * 10 + (At(k) - L'0') : -1000000;
        return value;
    }
    bool Matches(size_t i, const wchar_t *word) const {
        for (; *word; ++word, ++i)
            if (At(i) == L'\0' || (At(i) | 0x20) != *word)
                return false;
        return true;
    }

  private:
    const wchar_t *text_;
    size_t length_;
};

enum class TimePart { None, Valid, Invalid };

bool IsDateSeparator(wchar_t c) {
    return c == L'-' || c == L'_' || c == L'.';
}
bool IsTimeSeparator(wchar_t c) {
    return c == L'-' || c == L'_' || c == L'.' || c == L':';
}

// "AM" or "PM" after the seconds, as a 12-hour clock writes them (maybe after a no-break space).
int Meridiem(const Name &name, size_t i) {
    if (name.At(i) == L' ' || name.At(i) == 0x202F || name.At(i) == 0x00A0)
        ++i;
    bool letterAfter = ((name.At(i + 2) | 0x20) >= L'a' && (name.At(i + 2) | 0x20) <= L'z');
    if (letterAfter)
        return 0;
    return name.Matches(i, L"am") ? 1 : name.Matches(i, L"pm") ? 2 : 0;
}

// The time after a date that ends at i: "_235959", "_235959123" (milliseconds), "-23-59-59",
// " 23.59.59", " at 23.59.59", " at 11.59.59 PM". Anything else is no time.
TimePart ReadTime(const Name &name, size_t i, CivilTime *t) {
    if (name.Matches(i, L" at "))
        i += 4;
    else if (name.At(i) == L'_' || name.At(i) == L'-' || name.At(i) == L' ' || name.At(i) == L'T')
        ++i;
    else
        return TimePart::None;
    size_t run = name.Run(i);
    if (run == 6 || run == 9) {
        t->hour = name.Digits(i, 2);
        t->minute = name.Digits(i + 2, 2);
        t->second = name.Digits(i + 4, 2);
        t->fraction = run == 9 ? name.Digits(i + 6, 3) * 10000 : 0; // milliseconds
    } else if (run == 2 && IsTimeSeparator(name.At(i + 2)) && name.At(i + 5) == name.At(i + 2) &&
               name.Number(i + 3, 2) >= 0 && name.Number(i + 6, 2) >= 0) {
        t->hour = name.Digits(i, 2);
        t->minute = name.Digits(i + 3, 2);
        t->second = name.Digits(i + 6, 2);
        if (int meridiem = Meridiem(name, i + 8)) {
            if (t->hour < 1 || t->hour > 12)
                return TimePart::Invalid;
            t->hour = t->hour % 12 + (meridiem == 2 ? 12 : 0);
        }
    } else {
        return TimePart::None;
    }
    return IsValidCivilTime(*t, MinYear, MaxYear) ? TimePart::Valid : TimePart::Invalid;
}

// A date (and its time) whose digits start at i: "20240131", "20240131235959", "2024-01-31",
// "2024_01_31", "2024.01.31".
bool ReadDateAt(const Name &name, size_t i, CivilTime *time) {
    size_t run = name.Run(i), end;
    CivilTime t;
    if (run == 8 || run == 14) {
        t = CivilTime{name.Digits(i, 4), name.Digits(i + 4, 2), name.Digits(i + 6, 2)};
        if (run == 14) {
            t.hour = name.Digits(i + 8, 2);
            t.minute = name.Digits(i + 10, 2);
            t.second = name.Digits(i + 12, 2);
            if (!IsValidCivilTime(t, MinYear, MaxYear))
                return false;
            *time = t;
            return true;
        }
        end = i + 8;
    } else if (run == 4 && IsDateSeparator(name.At(i + 4)) && name.At(i + 7) == name.At(i + 4) &&
               name.Number(i + 5, 2) >= 0 && name.Number(i + 8, 2) >= 0) {
        t = CivilTime{name.Digits(i, 4), name.Digits(i + 5, 2), name.Digits(i + 8, 2)};
        end = i + 10;
    } else {
        return false;
    }
    t.hour = 12; // a date alone: its noon
    if (!IsValidCivilTime(t, MinYear, MaxYear))
        return false;
    CivilTime withTime = t;
    switch (ReadTime(name, end, &withTime)) {
    case TimePart::Invalid:
        return false;
    case TimePart::Valid:
        *time = withTime;
        return true;
    case TimePart::None:
        break;
    }
    *time = t;
    return true;
}

} // namespace

bool ReadNameDate(const wchar_t *name, CivilTime *time) {
    Name text(name);
    for (size_t i = 0; i < text.Length(); ++i) {
        if (!text.IsDigit(i) || (i > 0 && text.IsDigit(i - 1)))
            continue;
        if (ReadDateAt(text, i, time))
            return true;
    }
    return false;
}
