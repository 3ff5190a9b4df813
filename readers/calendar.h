#pragma once
// A date and time of the Gregorian calendar as the parsers give it, and the test that it names a
// real moment: 31 February or 23:59:92 is a broken field, not a date.
struct CivilTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int fraction = 0; // of the second, in 100 ns units: what a stamp holds
};

constexpr int FractionsPerSecond = 10000000;

inline bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

inline int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Years outside [minYear, maxYear] are refused too: the stamps cannot hold them, or no camera
// wrote them.
inline bool IsValidCivilTime(const CivilTime &t, int minYear, int maxYear) {
    return t.year >= minYear && t.year <= maxYear && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
           t.minute <= 59 && t.second >= 0 && t.second <= 59 && t.fraction >= 0 &&
           t.fraction < FractionsPerSecond;
}
