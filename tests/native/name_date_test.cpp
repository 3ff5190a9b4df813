#include <gtest/gtest.h>

#include <string>

#include "readers/name_date.h"
#include "samples.h"

namespace {

struct NameCase {
    const wchar_t *name;
    bool hasDate;
    CivilTime time;
};

class FileName : public testing::TestWithParam<NameCase> {};

TEST_P(FileName, GivesItsDate) {
    const NameCase &c = GetParam();
    CivilTime t;
    ASSERT_EQ(ReadNameDate(c.name, &t), c.hasDate);
    if (c.hasDate) {
        EXPECT_EQ(Parts(t), Parts(c.time));
    }
}

const CivilTime Moment{2024, 1, 31, 23, 59, 59};
const CivilTime Noon{2024, 1, 31, 12};

const NameCase Cases[] = {
    {L"IMG_20240131_235959.jpg", true, Moment},
    {L"IMG-20240131-WA0007.jpg", true, Noon},
    {L"VID-20240131-WA0001.mp4", true, Noon},
    {L"20240131_235959.mp4", true, Moment},
    {L"PXL_20240131_235959123.jpg", true, {2024, 1, 31, 23, 59, 59, 1230000}},
    {L"Screenshot_2024-01-31-23-59-59.png", true, Moment},
    {L"Screenshot 2024-01-31 at 23.59.59.png", true, Moment},
    {L"Screenshot 2024-01-31 at 11.59.59 PM.png", true, Moment},
    {L"Screenshot 2024-01-31 at 12.05.00\u202FAM.png", true, {2024, 1, 31, 0, 5, 0}},
    {L"2024-01-31 23.59.59.jpg", true, Moment},
    {L"VID_20240131_235959.mp4", true, Moment},
    {L"signal-2024-01-31-235959.jpg", true, Moment},
    {L"photo_2024-01-31_23-59-59.jpg", true, Moment},
    {L"Screenshot_20240131-235959_Browser.jpg", true, Moment},
    {L"20240131235959.jpg", true, Moment},
    {L"20240131T235959.jpg", true, Moment},
    {L"IMG_20240131_235959_1.jpg", true, Moment},
    {L"2024_01_31.jpg", true, Noon},
    {L"2024.01.31 holiday.jpg", true, Noon},
    {L"Trip 20240131.jpg", true, Noon},
    {L"20240229_120000.jpg", true, {2024, 2, 29, 12}},
    {L"19700101_000000.jpg", true, {1970, 1, 1}},
    {L"20991231_235959.jpg", true, {2099, 12, 31, 23, 59, 59}},
    // Impossible dates, digits of longer numbers, and names without a date.
    {L"1234202401315678.jpg", false, {}},
    {L"202401311.jpg", false, {}},
    {L"12024-01-31.jpg", false, {}},
    {L"IMG_20241301_120000.jpg", false, {}},
    {L"IMG_20240231_120000.jpg", false, {}},
    {L"20230229_120000.jpg", false, {}},
    {L"IMG_20240131_250000.jpg", false, {}},
    {L"2024-01-31 23.60.00.jpg", false, {}},
    {L"Screenshot 2024-01-31 at 13.00.00 PM.png", false, {}},
    {L"19691231_235959.jpg", false, {}},
    {L"21000101_000000.jpg", false, {}},
    {L"2024-01_31.jpg", false, {}},
    {L"2024-1-31.jpg", false, {}},
    {L"IMG_1234.jpg", false, {}},
    {L"holiday.jpg", false, {}},
    {L"", false, {}},
};

INSTANTIATE_TEST_SUITE_P(NameDate, FileName, testing::ValuesIn(Cases));

} // namespace
