#include <gtest/gtest.h>

#include <cctype>

#include "readers/date_taken.h"
#include "samples.h"

namespace {

class SampleFile : public testing::TestWithParam<Sample> {};

TEST_P(SampleFile, GivesItsDate) {
    const Sample &sample = GetParam();
    MemoryReader reader(sample.bytes);
    DateTaken taken;
    ASSERT_EQ(ReadSample(sample, reader, &taken), sample.hasDate);
    EXPECT_FALSE(reader.outOfRange);
    const DateTaken &e = sample.expected;
    EXPECT_EQ(taken.source, e.source);
    EXPECT_EQ(taken.hasOffset, e.hasOffset);
    EXPECT_EQ(taken.offsetMinutes, e.offsetMinutes);
    EXPECT_EQ(Parts(taken.time), Parts(e.time));
}

std::string TestName(const testing::TestParamInfo<Sample> &info) {
    std::string name = info.param.name;
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(DateTaken, SampleFile, testing::ValuesIn(Samples()), TestName);

TEST(DateTaken, MovieHeaderAfterTheMediaIsFoundWithoutReadingTheMedia) {
    const size_t mdatSize = 4 * DateTakenReadBudget;
    MemoryReader reader(Movie(0, 3789590399, mdatSize));
    DateTaken taken;
    ASSERT_TRUE(ReadDateTaken(reader, &taken));
    auto [begin, end] = MoviePayload(mdatSize);
    EXPECT_FALSE(reader.Touched(begin, end));
    EXPECT_LT(reader.bytesRead, 512u);
}

TEST(DateTaken, ExifInsideAJpegIsReadNotTheWholeSegment) {
    // A big Exif segment (thumbnail and maker notes) costs only the fields that are looked at.
    Bytes tiff = Tiff(true, {{OriginalTag, "2024:01:31 23:59:59"}});
    tiff.resize(60000, 0x11);
    MemoryReader reader(Jpeg({ExifSegment(tiff)}));
    DateTaken taken;
    ASSERT_TRUE(ReadDateTaken(reader, &taken));
    EXPECT_LT(reader.bytesRead, 1024u);
}

TEST(DateTaken, ASidecarLargerThanTheBudgetIsReadUpToIt) {
    std::string text =
        "<x:xmpmeta xmlns:x='adobe:ns:meta/' xmlns:xmp='http://ns.adobe.com/xap/1.0/'"
        " xmp:CreateDate='2024-01-31T23:59:59'>" +
        std::string(2 * DateTakenReadBudget, ' ') + "</x:xmpmeta>";
    MemoryReader reader(Bytes(text.begin(), text.end()));
    DateTaken taken;
    EXPECT_TRUE(ReadXmpSidecarDate(reader, &taken));
    EXPECT_EQ(reader.bytesRead, DateTakenReadBudget);
}

} // namespace
