#include <gtest/gtest.h>

#include "readers/export_json.h"
#include "samples.h"

namespace {

class ExportJsonFile : public testing::TestWithParam<JsonSample> {};

TEST_P(ExportJsonFile, GivesItsTimeAndTitle) {
    const JsonSample &sample = GetParam();
    MemoryReader reader(Bytes(sample.text.begin(), sample.text.end()));
    ExportJson json;
    ASSERT_EQ(ReadExportJson(reader, &json), sample.valid);
    EXPECT_FALSE(reader.outOfRange);
    EXPECT_EQ(json.hasTaken, sample.hasTaken);
    EXPECT_EQ(json.takenSeconds, sample.seconds);
    EXPECT_EQ(json.title, sample.title);
}

INSTANTIATE_TEST_SUITE_P(ExportJson, ExportJsonFile, testing::ValuesIn(ExportJsonSamples()),
                         [](const testing::TestParamInfo<JsonSample> &info) {
                             return info.param.name;
                         });

TEST(ExportJson, AFileBiggerThanTheBudgetIsNotRead) {
    for (size_t size : {ExportJsonReadBudget, ExportJsonReadBudget + 1}) {
        std::string text = R"({"photoTakenTime": {"timestamp": "1"}, "pad": ")";
        text += std::string(size - text.size() - 2, 'x') + "\"}";
        MemoryReader reader(Bytes(text.begin(), text.end()));
        ExportJson json;
        EXPECT_EQ(ReadExportJson(reader, &json), size == ExportJsonReadBudget);
        EXPECT_LE(reader.bytesRead, ExportJsonReadBudget);
    }
}

} // namespace
