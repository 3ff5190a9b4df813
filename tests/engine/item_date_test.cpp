// The date inside a real file and in a name, as the UTC time a stamp takes, read without
// changing the file.
#include <gtest/gtest.h>

#include "common/test_support.h"
#include "readers/date_taken.h"
#include "engine/item_date.h"
#include "native/file_builders.h"

using namespace testsupport;

namespace {

// A UTC time to the 100 ns tick.
FILETIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second,
             uint64_t fraction = 0) {
    ULARGE_INTEGER t;
    const FILETIME f = MakeFileTime(year, month, day, hour, minute, second);
    t.LowPart = f.dwLowDateTime;
    t.HighPart = f.dwHighDateTime;
    t.QuadPart += fraction;
    return {t.LowPart, t.HighPart};
}

uint64_t Ticks(const FILETIME &f) {
    return uint64_t(f.dwHighDateTime) << 32 | f.dwLowDateTime;
}

std::string AsText(const Bytes &bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::string ReadAll(const std::wstring &path) {
    std::string content;
    HANDLE file = CreateFileW(Native(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    char chunk[4096];
    DWORD read = 0;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, chunk, sizeof chunk, &read, nullptr) &&
           read > 0)
        content.append(chunk, read);
    CloseHandle(file);
    return content;
}

Bytes ExifJpeg(const std::vector<TextTag> &exif) {
    return Jpeg({ExifSegment(Tiff(true, exif))});
}

class ItemDateTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(RunsInWarsawTime()); }
    DWORD ReadDate(const std::wstring &name, FILETIME *utc, bool *found) {
        ItemTimes times = {};
        ReadTimes(dir / name, &times);
        FoundTime taken;
        const DWORD code = ReadItemDateTaken(Native(dir / name).c_str(), FILE_ATTRIBUTE_NORMAL,
                                             times.accessed, &taken);
        *utc = taken.utc;
        *found = taken.found;
        return code;
    }
    TempDir dir;
};

TEST_F(ItemDateTest, PhotosAndVideosGiveTheirMomentInUtc) {
    struct Case {
        const wchar_t *name;
        Bytes bytes;
        bool found;
        FILETIME utc;
    };
    const Case cases[] = {
        {L"winter.jpg", ExifJpeg({{OriginalTag, "2024:01:31 23:59:59"}}), true,
         Utc(2024, 1, 31, 22, 59, 59)},
        {L"summer.jpg", ExifJpeg({{OriginalTag, "2023:07:04 08:09:10"}, {OriginalSubSecTag, "25"}}),
         true, Utc(2023, 7, 4, 6, 9, 10, 2500000)},
        {L"tokyo.jpg",
         ExifJpeg({{OriginalTag, "2024:01:31 23:59:59"},
                   {OriginalOffsetTag, "+09:00"},
                   {OriginalSubSecTag, "123"}}),
         true, Utc(2024, 1, 31, 14, 59, 59, 1230000)},
        {L"movie.mp4", Movie(0, 3789590399, 64), true, Utc(2024, 1, 31, 23, 59, 59)},
        {L"undated.jpg", Jpeg({}), false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.name);
        WriteTextFile(dir / c.name, AsText(c.bytes));
        FILETIME utc = {};
        bool found = !c.found;
        ASSERT_EQ(DWORD{ERROR_SUCCESS}, ReadDate(c.name, &utc, &found));
        ASSERT_EQ(c.found, found);
        if (c.found) {
            EXPECT_EQ(Ticks(c.utc), Ticks(utc));
        }
    }
}

TEST_F(ItemDateTest, TheFileAndItsTimesAreLeftAsTheyWere) {
    const Bytes bytes = ExifJpeg({{OriginalTag, "2024:01:31 23:59:59"}});
    WriteTextFile(dir / L"a.jpg", AsText(bytes));
    // Old enough that the system would update the access time when the file is read.
    const FILETIME accessed = Utc(2001, 2, 3, 4, 5, 6), written = Utc(2000, 1, 2, 3, 4, 5);
    ASSERT_TRUE(WriteTimes(dir / L"a.jpg", nullptr, &accessed, &written));
    FILETIME utc;
    bool found = false;
    ASSERT_EQ(DWORD{ERROR_SUCCESS}, ReadDate(L"a.jpg", &utc, &found));
    ASSERT_TRUE(found);
    ItemTimes after;
    ASSERT_TRUE(ReadTimes(dir / L"a.jpg", &after));
    EXPECT_EQ(Ticks(accessed), Ticks(after.accessed));
    EXPECT_EQ(Ticks(written), Ticks(after.written));
    EXPECT_EQ(AsText(bytes), ReadAll(dir / L"a.jpg"));
}

TEST_F(ItemDateTest, AFileThatCannotBeOpenedGivesItsError) {
    const struct {
        const wchar_t *name;
        DWORD error;
    } cases[] = {{L"missing.jpg", ERROR_FILE_NOT_FOUND},
                 {L"no folder\\missing.jpg", ERROR_PATH_NOT_FOUND}};
    for (const auto &c : cases) {
        FILETIME utc;
        bool found = true;
        EXPECT_EQ(c.error, ReadDate(c.name, &utc, &found));
        EXPECT_FALSE(found);
    }
}

TEST(FileByteReaderTest, ReadsExactlyWhatIsAskedWithinTheBudget) {
    TempDir dir;
    const size_t size = DateTakenReadBudget + 100;
    std::string content(size, '\0');
    for (size_t i = 0; i < size; ++i)
        content[i] = static_cast<char>(i % 251);
    WriteTextFile(dir / L"big.bin", content);
    HANDLE file = CreateFileW(Native(dir / L"big.bin").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    {
        FileByteReader reader(file);
        EXPECT_EQ(uint64_t{size}, reader.Size());
        std::string part(10, '\0');
        ASSERT_TRUE(reader.Read(size - 10, &part[0], 10));
        EXPECT_EQ(content.substr(size - 10), part);
        EXPECT_FALSE(reader.Read(size - 5, &part[0], 10)); // past the end
        std::string rest(DateTakenReadBudget - 20, '\0');
        EXPECT_TRUE(reader.Read(0, &rest[0], rest.size()));
        EXPECT_FALSE(reader.Read(0, &part[0], 1)); // the budget is spent
    }
    CloseHandle(file);
}

TEST(CivilToFileTimeTest, RefusesWhatNoFileTimeCanHold) {
    const struct {
        CivilTime time;
        bool hasOffset;
        int offsetMinutes;
    } cases[] = {
        {{2024, 2, 30, 12, 0, 0}, false, 0},
        {{2024, 1, 1, 24, 0, 0}, true, 0},
        {{1601, 1, 1, 0, 30, 0}, true, 60}, // before 1601 in UTC
        {{65537 + 2024, 1, 1, 0, 0, 0}, true, 0},
    };
    for (const auto &c : cases) {
        FILETIME utc;
        EXPECT_FALSE(CivilToFileTime(c.time, c.hasOffset, c.offsetMinutes, &utc)) << c.time.year;
    }
}

TEST_F(ItemDateTest, SubSecondsAreKeptToTheTick) {
    const CivilTime time{2024, 7, 4, 23, 59, 59, 9876543};
    FILETIME withOffset, local;
    ASSERT_TRUE(CivilToFileTime(time, true, 600, &withOffset));
    ASSERT_TRUE(CivilToFileTime(time, false, 0, &local)); // summer time in Warsaw
    EXPECT_EQ(Ticks(Utc(2024, 7, 4, 13, 59, 59, 9876543)), Ticks(withOffset));
    EXPECT_EQ(Ticks(Utc(2024, 7, 4, 21, 59, 59, 9876543)), Ticks(local));
}

TEST_F(ItemDateTest, NamesGiveLocalTimeByTheRulesOfTheirDate) {
    const struct {
        const wchar_t *name;
        bool found;
        FILETIME utc;
    } cases[] = {
        {L"IMG_20240131_235959.jpg", true, Utc(2024, 1, 31, 22, 59, 59)},
        {L"IMG_20230704_081910.jpg", true, Utc(2023, 7, 4, 6, 19, 10)},
        {L"holiday.jpg", false, {}},
    };
    for (const auto &c : cases) {
        FoundTime found;
        ASSERT_EQ(c.found, NameDateOf(c.name, &found));
        if (c.found) {
            EXPECT_EQ(Ticks(c.utc), Ticks(found.utc));
            EXPECT_EQ(TimeSource::FileName, found.source);
        }
    }
}

} // namespace
