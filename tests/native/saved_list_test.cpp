// The saved list read back: either separator, quoted paths, the columns by their titles, and
// every line that cannot be taken named with its number.
#include <gtest/gtest.h>

#include "file_builders.h"
#include "readers/saved_list.h"

namespace {

// The titles of the three languages, as the program gives them.
ListColumns Columns() {
    ListColumns columns;
    columns.now[0] = {L"Utworzony (obecnie)", L"Created (now)"};
    columns.now[1] = {L"Ostatnio używany (obecnie)", L"Last accessed (now)"};
    columns.now[2] = {L"Zmodyfikowany (obecnie)", L"Modified (now)"};
    return columns;
}

bool Read(const std::string &text, std::vector<ListEntry> *entries, ListProblem *problem) {
    MemoryReader reader(Bytes(text.begin(), text.end()));
    const bool read = ReadSavedList(reader, Columns(), entries, problem);
    EXPECT_FALSE(reader.outOfRange);
    return read;
}

TEST(SavedList, EitherSeparatorQuotedPathsAndOnlyTheTimesNowAreTaken) {
    for (const std::string separator : {",", ";", "\t"}) {
        const std::string s = separator;
        const std::string text = "\xEF\xBB\xBF"
                                 "Element" +
                                 s + "Zmodyfikowany (obecnie)" + s + "Zmodyfikowany (po zmianie)" +
                                 s + "Źródło\r\n" + "\"a" + s + "\"\"b\"\"\\c.jpg\"" + s +
                                 "2023-10-29T02:30:00.1234567+01:00" + s + "(poza zakresem)" + s +
                                 "EXIF\r\n" + "\r\n" + "\"two\nlines.txt\"" + s +
                                 "2024-01-31T23:59:59Z" + s + s + "\n";
        std::vector<ListEntry> entries;
        ListProblem problem;
        ASSERT_TRUE(Read(text, &entries, &problem)) << int(problem.error) << " " << problem.line;
        ASSERT_EQ(2u, entries.size());
        EXPECT_EQ(L"a" + std::wstring(s.begin(), s.end()) + L"\"b\"\\c.jpg", entries[0].path);
        EXPECT_FALSE(entries[0].has[0] || entries[0].has[1]);
        ASSERT_TRUE(entries[0].has[2]);
        const ListTime &t = entries[0].now[2];
        EXPECT_EQ(
            (std::vector<int>{2023, 10, 29, 2, 30, 0, 1234567, 60}),
            (std::vector<int>{t.time.year, t.time.month, t.time.day, t.time.hour, t.time.minute,
                              t.time.second, t.time.fraction, t.offsetMinutes}));
        EXPECT_EQ(L"two\nlines.txt", entries[1].path);
        EXPECT_TRUE(entries[1].now[2].hasOffset && entries[1].now[2].offsetMinutes == 0);
    }
}

TEST(SavedList, ALineThatCannotBeTakenIsNamedWithItsNumberAndNothingIsRead) {
    const std::string header = "Item,Created (now),Created (new)\n";
    const struct {
        std::string text;
        ListError error;
        uint32_t line;
        std::wstring field;
    } cases[] = {
        {"Item,Size\na,1\n", ListError::NoHeader, 1, L""},
        {header + "a,2024-01-31T10:00:00+01:00,x\nb,31.01.2024 10:00,x\n", ListError::BadTime, 3,
         L"31.01.2024 10:00"},
        {header + "a,2024-02-30T10:00:00+01:00,x\n", ListError::BadTime, 2,
         L"2024-02-30T10:00:00+01:00"},
        {header + "a,2024-01-31T10:00:00\n", ListError::FieldCount, 2, L""},
        {header + "\"a,2024-01-31T10:00:00,x\n", ListError::UnclosedQuote, 2, L""},
        {header + ",2024-01-31T10:00:00,x\n", ListError::NoPath, 2, L""},
        {header + "\xFF,2024-01-31T10:00:00,x\n", ListError::NotText, 2, L""},
    };
    for (const auto &c : cases) {
        std::vector<ListEntry> entries;
        ListProblem problem;
        EXPECT_FALSE(Read(c.text, &entries, &problem)) << c.text;
        EXPECT_EQ(c.error, problem.error) << c.text;
        EXPECT_EQ(c.line, problem.line) << c.text;
        EXPECT_EQ(c.field, problem.field) << c.text;
        EXPECT_TRUE(entries.empty());
    }
}

} // namespace
