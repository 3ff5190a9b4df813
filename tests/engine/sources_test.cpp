// Where an item's right time comes from besides its own content, through the controller on real
// files: sidecars of editors and of a photo service's export, the newest file inside a folder,
// and a saved list that puts times back.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>

#include "app/job_context.h"
#include "common/test_support.h"
#include "engine/engine_test_support.h"
#include "ui/job_controller.h"
#include "engine/list_file.h"
#include "engine/preview.h"
#include "engine/saved_times.h"
#include "engine/time_rule.h"
#include "engine/undo.h"
#include "native/file_builders.h"
#include "engine/list_texts.h"
#include "ui/preview_dialog.h"

using namespace testsupport;
using namespace enginetest;

namespace {

constexpr int64_t Second = 10000000;

const FILETIME Old = MakeFileTime(2001, 2, 3, 4, 5, 6);

class SourcesTest : public JobFixture {
  protected:
    void SetUp() override {
        JobFixture::SetUp();
        if (HasFatalFailure())
            return;
        const SYSTEMTIME any = MakeLocalTime(2020, 6, 7, 8, 9, 10);
        SetTimes(nullptr, &any, nullptr);
        SetTarget(dir.Path(), L"*");
        jobContext.includeSubfolders = 1;
    }
    void Make(const std::wstring &name, const std::string &content, const FILETIME &written = Old) {
        WriteTextFile(dir / name, content);
        ASSERT_TRUE(WriteTimes(dir / name, nullptr, &Old, &written));
    }
    // The preview's row of an item, by its path below the target.
    const PreviewRow *Row(const std::wstring &path) {
        for (size_t i = 0; i < previewList.Size(); ++i)
            if (path == previewList.Row(i).path)
                return &previewList.Row(i);
        return nullptr;
    }
};

std::string Xmp(const char *property) {
    return std::string("<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
                       "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
                       "<rdf:Description xmlns:e='http://ns.adobe.com/exif/1.0/' ") +
           property + "/></rdf:RDF></x:xmpmeta>";
}

std::string ExportJson(const std::string &title, const std::string &seconds) {
    return "{\"title\": \"" + title + "\", \"creationTime\": {\"timestamp\": \"1700000000\"}, " +
           "\"photoTakenTime\": {\"timestamp\": \"" + seconds + "\"}}";
}

TEST_F(SourcesTest, DateTakenFallsBackToTheEditorsThenTheExportsSidecarAndShowsWhere) {
    const Bytes undated = Jpeg({});
    const std::string jpeg(undated.begin(), undated.end());
    const Bytes dated = Jpeg({ExifSegment(Tiff(true, {{OriginalTag, "2024:01:31 23:59:59"}}))});
    const FILETIME json = FromTicks((1478174685LL + 11644473600LL) * Second);
    const FILETIME before1970 = FromTicks((-86400LL + 11644473600LL) * Second);
    const struct {
        std::wstring name;
        std::string content;
        bool dated;
        FILETIME taken;
        TimeSource source;
    } items[] = {
        {L"own.jpg", std::string(dated.begin(), dated.end()), true,
         LocalToUtc(MakeLocalTime(2024, 1, 31, 23, 59, 59)), TimeSource::Exif},
        {L"raw.cr2", jpeg, true, MakeFileTime(2019, 5, 6, 5, 8, 9), TimeSource::XmpSidecar},
        {L"raw.cr2.xmp",
         Xmp("e:DateTimeOriginal='2019-05-06T07:08:09+02:00'"),
         false,
         {},
         TimeSource::None},
        {L"IMG_0001.jpg", jpeg, true, json, TimeSource::ExportJson},
        {L"IMG_0001.jpg.supplemental-metadata.json",
         ExportJson("IMG_0001.jpg", "1478174685"),
         false,
         {},
         TimeSource::None},
        {L"IMG_0001-edited.jpg", jpeg, true, json, TimeSource::ExportJson},
        {L"old(1).jpg", jpeg, true, before1970, TimeSource::ExportJson},
        {L"old.jpg(1).json", ExportJson("old.jpg", "-86400"), false, {}, TimeSource::None},
        {L"old.jpg", jpeg, false, {}, TimeSource::None}, // the JSON above is its duplicate's
        {L"other.jpg", jpeg, false, {}, TimeSource::None},
    };
    for (const auto &item : items)
        Make(item.name, item.content);
    jobContext.timeRule = RuleDateTaken;
    Run(PreviewMode);
    for (const auto &item : items) {
        const PreviewRow *row = Row(item.name);
        ASSERT_NE(nullptr, row) << item.name.c_str();
        EXPECT_EQ(item.source, row->source) << item.name.c_str();
        EXPECT_EQ(!item.dated, (row->flags & PreviewNoDate) != 0) << item.name.c_str();
    }
    Run(1);
    for (const auto &item : items) {
        const ItemTimes now = Now(item.name);
        EXPECT_EQ(Ticks(item.dated ? item.taken : Old), Ticks(now.written)) << item.name.c_str();
        EXPECT_EQ(Ticks(Old), Ticks(now.accessed)) << "read moved " << item.name.c_str();
    }
}

TEST_F(SourcesTest, EveryFolderTakesTheNewestFileBelowItInOneApplyAndFilesAreLeftAlone) {
    const FILETIME t1 = MakeFileTime(2010, 1, 1, 0, 0, 0), t2 = MakeFileTime(2012, 1, 1, 0, 0, 0),
                   t3 = MakeFileTime(2011, 1, 1, 0, 0, 0);
    Make(L"a\\b\\c\\deep.txt", "x", t2);
    Make(L"a\\b\\mid.txt", "x", t1);
    Make(L"a\\top.txt", "x", t3);
    MakeFolder(dir / L"empty");
    for (const wchar_t *folder : {L"a", L"a\\b", L"a\\b\\c", L"empty"})
        ASSERT_TRUE(WriteTimes(dir / folder, nullptr, nullptr, &Old));
    jobContext.applyToFolders = 1;
    jobContext.timeRule = RuleNewestInside;
    Run(PreviewMode);
    EXPECT_EQ(5u, previewList.Size()) << "the four folders and the target, no file";
    Run(1);
    const std::map<std::wstring, FILETIME> expected = {{L"a", t2},          {L"a\\b", t2},
                                                       {L"a\\b\\c", t2},    {L"empty", Old},
                                                       {L"a\\top.txt", t3}, {L"a\\b\\mid.txt", t1}};
    for (const auto &item : expected)
        EXPECT_EQ(Ticks(item.second), Ticks(Now(item.first).written)) << item.first.c_str();
    ItemTimes target;
    ASSERT_TRUE(ReadTimes(dir.Path(), &target));
    EXPECT_EQ(Ticks(t2), Ticks(target.written)) << "the target folder itself";
}

// A list saved before a change puts every item back, also after the program was closed (nothing
// but the file remains), in either separator; a line whose item is gone is counted, and an item
// the list does not name is left alone.
TEST_F(SourcesTest, ASavedListPutsEveryItemBackToTheHundredNanoseconds) {
    for (const wchar_t separator : {L';', L','}) {
        SCOPED_TRACE(static_cast<char>(separator));
        const SYSTEMTIME any = MakeLocalTime(2020, 6, 7, 8, 9, 10);
        SetTimes(nullptr, &any, &any);
        std::map<std::wstring, ItemTimes> before;
        for (const wchar_t *name : {L"a.txt", L"sub\\b.txt", L"gone.txt"}) {
            Make(name, "x", FromTicks(Ticks(MakeFileTime(2023, 10, 29, 0, 30, 0)) + 1234567));
            ReadTimes(dir / name, &before[name]);
        }
        jobContext.timeRule = RuleSetDates;
        Run(PreviewMode);
        ListTexts texts;
        texts.header = PreviewColumns();
        texts.separator = separator;
        const std::wstring list = dir / L"list.csv";
        ASSERT_EQ(DWORD{ERROR_SUCCESS},
                  WriteFileReplacing(list.c_str(), PreviewCsv(previewList, texts)));
        previewList.Clear();
        Run(1); // the change
        ASSERT_FALSE(SameTime(before[L"a.txt"].written, Now(L"a.txt").written));
        DeleteFileW((dir / L"gone.txt").c_str());
        Make(L"new.txt", "x");

        DWORD code = 0;
        ListProblem problem;
        ASSERT_TRUE(savedTimes.Load(list.c_str(), KnownListColumns(), &code, &problem))
            << problem.line;
        SetTarget(dir.Path(), L"*.txt");
        jobContext.timeRule = RuleSavedList;
        Run(PreviewMode);
        EXPECT_EQ(1u, previewList.NotInList());
        EXPECT_EQ(1u, previewList.ListLinesGone());
        Run(1);
        for (const wchar_t *name : {L"a.txt", L"sub\\b.txt"}) {
            EXPECT_TRUE(SameTime(before[name].written, Now(name).written)) << name;
            EXPECT_TRUE(SameTime(before[name].accessed, Now(name).accessed)) << name;
        }
        EXPECT_TRUE(SameTime(Old, Now(L"new.txt").written));
        savedTimes.Clear();
        DeleteFileW((dir / L"new.txt").c_str());
        DeleteFileW(list.c_str());
        SetTarget(dir.Path(), L"*");
    }
}

TEST_F(SourcesTest, AListWhoseLineCannotBeTakenSaysWhichAndWhyAndLoadsNothing) {
    Make(L"list.csv", "Item;Created now;Created new\r\na.txt;2024-01-31T10:00:00+01:00;x\r\n"
                      "b.txt;yesterday;x\r\n");
    DWORD code = 0;
    ListProblem problem;
    EXPECT_FALSE(savedTimes.Load((dir / L"list.csv").c_str(), KnownListColumns(), &code, &problem));
    EXPECT_FALSE(savedTimes.Loaded());
    const std::wstring text = ListProblemText(L"list.csv", problem);
    EXPECT_NE(std::wstring::npos, text.find(L"3")) << "the line's number";
    EXPECT_NE(std::wstring::npos, text.find(L"yesterday")) << "what is wrong in it";
}

} // namespace
