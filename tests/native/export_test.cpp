#include <gtest/gtest.h>

#include <chrono>
#include <list>
#include <map>

#include "readers/export_json.h"
#include "readers/export_names.h"
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

// n faces of two UTF-16 units each, then the end. The export keeps 24 of them in a clipped
// item's name: 47 units would cut a pair.
const wchar_t *Faces(int n, const wchar_t *end) {
    static std::list<std::wstring> names; // never moves them
    std::wstring name;
    for (int i = 0; i < n; ++i)
        name += L"\U0001F600";
    names.push_back(name + end);
    return names.back().c_str();
}

// One folder of an export. json: the JSON the item must take, null for none. title: that JSON's
// title; null when it is the item's own name, empty when another row lists the JSON.
struct Row {
    const wchar_t *media;
    const wchar_t *json;
    const wchar_t *title;
};

const Row Rows[] = {
    // Older exports, newer ones, and the suffix cut at every length.
    {L"IMG_0001.jpg", L"IMG_0001.jpg.json", nullptr},
    {L"IMG_20250112_100426.jpg", L"IMG_20250112_100426.jpg.supplemental-metadata.json", nullptr},
    {L"IMG_0159.HEIC", L"IMG_0159.HEIC.supplemental-metad.json", nullptr}, // cut short, as seen
    {L"Lake25-abcdefghijklmn.jpg", L"Lake25-abcdefghijklmn.jpg.supplemental-metadat.json", nullptr},
    {L"Lake26-abcdefghijklmno.jpg", L"Lake26-abcdefghijklmno.jpg.supplemental-metada.json",
     nullptr},
    {L"Lake27-abcdefghijklmnop.jpg", L"Lake27-abcdefghijklmnop.jpg.supplemental-metad.json",
     nullptr},
    {L"Lake28-abcdefghijklmnopq.jpg", L"Lake28-abcdefghijklmnopq.jpg.supplemental-meta.json",
     nullptr},
    {L"Lake29-abcdefghijklmnopqr.jpg", L"Lake29-abcdefghijklmnopqr.jpg.supplemental-met.json",
     nullptr},
    {L"Lake30-abcdefghijklmnopqrs.jpg", L"Lake30-abcdefghijklmnopqrs.jpg.supplemental-me.json",
     nullptr},
    {L"Lake31-abcdefghijklmnopqrst.jpg", L"Lake31-abcdefghijklmnopqrst.jpg.supplemental-m.json",
     nullptr},
    {L"Lake32-abcdefghijklmnopqrstu.jpg", L"Lake32-abcdefghijklmnopqrstu.jpg.supplemental-.json",
     nullptr},
    {L"Lake33-abcdefghijklmnopqrstuv.jpg", L"Lake33-abcdefghijklmnopqrstuv.jpg.supplemental.json",
     nullptr},
    {L"Lake34-abcdefghijklmnopqrstuvw.jpg", L"Lake34-abcdefghijklmnopqrstuvw.jpg.supplementa.json",
     nullptr},
    {L"Lake35-abcdefghijklmnopqrstuvwx.jpg", L"Lake35-abcdefghijklmnopqrstuvwx.jpg.supplement.json",
     nullptr},
    {L"Lake36-abcdefghijklmnopqrstuvwxy.jpg",
     L"Lake36-abcdefghijklmnopqrstuvwxy.jpg.supplemen.json", nullptr},
    {L"Lake37-abcdefghijklmnopqrstuvwxyz.jpg",
     L"Lake37-abcdefghijklmnopqrstuvwxyz.jpg.suppleme.json", nullptr},
    {L"Lake38-abcdefghijklmnopqrstuvwxyzA.jpg",
     L"Lake38-abcdefghijklmnopqrstuvwxyzA.jpg.supplem.json", nullptr},
    {L"Lake39-abcdefghijklmnopqrstuvwxyzAB.jpg",
     L"Lake39-abcdefghijklmnopqrstuvwxyzAB.jpg.supple.json", nullptr},
    {L"Lake40-abcdefghijklmnopqrstuvwxyzABC.jpg",
     L"Lake40-abcdefghijklmnopqrstuvwxyzABC.jpg.suppl.json", nullptr},
    {L"Lake41-abcdefghijklmnopqrstuvwxyzABCD.jpg",
     L"Lake41-abcdefghijklmnopqrstuvwxyzABCD.jpg.supp.json", nullptr},
    {L"Lake42-abcdefghijklmnopqrstuvwxyzABCDE.jpg",
     L"Lake42-abcdefghijklmnopqrstuvwxyzABCDE.jpg.sup.json", nullptr},
    {L"Lake43-abcdefghijklmnopqrstuvwxyzABCDEF.jpg",
     L"Lake43-abcdefghijklmnopqrstuvwxyzABCDEF.jpg.su.json", nullptr},
    {L"Lake44-abcdefghijklmnopqrstuvwxyzABCDEFG.jpg",
     L"Lake44-abcdefghijklmnopqrstuvwxyzABCDEFG.jpg.s.json", nullptr},
    {L"Lake46-abcdefghijklmnopqrstuvwxyzABCDEFGHI.jpg",
     L"Lake46-abcdefghijklmnopqrstuvwxyzABCDEFGHI.jpg.json", nullptr},
    {L"Urlaub in Knaufspesch in der Schneifel (38).JPG",
     L"Urlaub in Knaufspesch in der Schneifel (38).JP.json", nullptr},
    // Long names, clipped in the item's name as well, counted in UTF-16 units.
    {L"00100lPORTRAIT_00100_BURST20190915164304772_COV.jpg",
     L"00100lPORTRAIT_00100_BURST20190915164304772_CO.json",
     L"00100lPORTRAIT_00100_BURST20190915164304772_COVER.jpg"},
    {L"00100lPORTRAIT_00100_BURST20190915164304772_COV(1).jpg",
     L"00100lPORTRAIT_00100_BURST20190915164304772_CO(1).json",
     L"00100lPORTRAIT_00100_BURST20190915164304772_COVER.jpg"},
    {L"PXL_20230809_203449253.LONG_EXPOSURE-02.ORIGINA.jpg",
     L"PXL_20230809_203449253.LONG_EXPOSURE-02.ORIGIN.json",
     L"PXL_20230809_203449253.LONG_EXPOSURE-02.ORIGINAL.jpg"},
    {Faces(24, L".jpg"), Faces(23, L".json"), Faces(40, L".jpg")},
    // With a longer extension than .jpg, 47 before it and 51 in all are not the same.
    {L"Anniversary_dinner_at_the_old_harbour_2022_0001.heic",
     L"Anniversary_dinner_at_the_old_harbour_2022_000.json",
     L"Anniversary_dinner_at_the_old_harbour_2022_0001_and_more.heic"},
    {L"Anniversary_dinner_at_the_old_harbour_2022_100.heic",
     L"Anniversary_dinner_at_the_old_harbour_2022_100.json",
     L"Anniversary_dinner_at_the_old_harbour_2022_100X_and_more.heic"},
    // Clipped names that collide: the title tells them apart.
    {L"Wedding_of_Anna_and_Ben_in_Rome_2023_photo_000X.jpg",
     L"Wedding_of_Anna_and_Ben_in_Rome_2023_photo_000.json",
     L"Wedding_of_Anna_and_Ben_in_Rome_2023_photo_000X_ceremony.jpg"},
    {L"Wedding_of_Anna_and_Ben_in_Rome_2023_photo_000.jpg", nullptr, nullptr},
    // Numbered duplicates, the number behind what the clipping left; the names of other case.
    {L"IMG_0484.JPG", L"IMG_0484.JPG.json", nullptr},
    {L"IMG_0484(1).JPG", L"IMG_0484.JPG(1).json", L"IMG_0484.JPG"},
    {L"IMG_0484(2).JPG", L"IMG_0484.JPG(2).json", L"IMG_0484.JPG"},
    {L"IMG_0485(1).JPG", nullptr, nullptr}, // never the original's: IMG_0485.JPG.json
    {L"IMG_0485.JPG", L"IMG_0485.JPG.json", nullptr},
    {L"IMG_4081(1).jpg", L"IMG_4081.JPG(1).json", L"IMG_4081.JPG"},
    {L"IMG_20210704_094147(1).jpg", L"IMG_20210704_094147.jpg.supplemental-metadata(1).json",
     L"IMG_20210704_094147.jpg"},
    {L"Lake39-abcdefghijklmnopqrstuvwxyzAB(18).jpg",
     L"Lake39-abcdefghijklmnopqrstuvwxyzAB.jpg.supple(18).json",
     L"Lake39-abcdefghijklmnopqrstuvwxyzAB.jpg"},
    {L"Negative0-36-35(1).jpg", L"Negative0-36-35(1).jpg.supplemental-metadata.json", nullptr},
    {L"Negative0-36-35(1)(1).jpg", L"Negative0-36-35(1).jpg.supplemental-metadata(1).json",
     L"Negative0-36-35(1).jpg"},
    {L"ŁÓDŹ.JPG", L"łódź.jpg.json", L"Łódź.jpg"},
    {L"Été à Nîmes.jpg", L"ÉTÉ À NÎMES.JPG.JSON", nullptr},
    // Edited copies in the export's language take the original's.
    {L"IMG_0001-edited.jpg", L"IMG_0001.jpg.json", L""},
    {L"IMG_20250112_100426-bearbeitet.jpg", L"IMG_20250112_100426.jpg.supplemental-metadata.json",
     L""},
    {L"IMG_0484-modifié(1).JPG", L"IMG_0484.JPG(1).json", L""},
    {L"IMG_0484-modifie\u0301.JPG", L"IMG_0484.JPG.json", L""},
    {L"IMG_0485-ha editado.JPG", L"IMG_0485.JPG.json", L""},
    {L"IMG_0485-modificato.JPG", L"IMG_0485.JPG.json", L""},
    {L"IMG_0485-bewerkt.JPG", L"IMG_0485.JPG.json", L""},
    {L"IMG_0485-edytowane.JPG", L"IMG_0485.JPG.json", L""},
    {L"IMG_0485-編集済み.JPG", L"IMG_0485.JPG.json", L""},
    {L"Negative0-36-35(1)-editat.jpg", L"Negative0-36-35(1).jpg.supplemental-metadata.json", L""},
    {L"Negative0-36-35(1)-editat(1).jpg", L"Negative0-36-35(1).jpg.supplemental-metadata(1).json",
     L""},
    {L"Birthday_party_at_the_lake_house_2019_05_11b-ed.jpg",
     L"Birthday_party_at_the_lake_house_2019_05_11b.j.json",
     L"Birthday_party_at_the_lake_house_2019_05_11b.jpg"},
    {L"Lonely-edited.jpg", nullptr, nullptr}, // not Lonely.png's
    {L"Lonely.png", L"Lonely.png.json", nullptr},
    // Uploaded without an extension, which the export added to the item only.
    {L"2013-08-22.png", L"2013-08-22.json", L"2013-08-22"},
    {L"2234089303984509579.jpg", L"2234089303984509579.supplemental-metadata.json",
     L"2234089303984509579"},
    {L"2234089303984509579-edited.jpg", L"2234089303984509579.supplemental-metadata.json", L""},
    // Motion photos: the video takes its still's; a video with its own keeps it.
    {L"PXL_20230205_164128403.MP.jpg", L"PXL_20230205_164128403.MP.jpg.json", nullptr},
    {L"PXL_20230205_164128403.MP", L"PXL_20230205_164128403.MP.jpg.json", L""},
    {L"MVIMG_20170101_101010.jpg", L"MVIMG_20170101_101010.jpg.json", nullptr},
    {L"MVIMG_20170101_101010.MP4", L"MVIMG_20170101_101010.jpg.json", L""},
    {L"IMG_0600.HEIC", L"IMG_0600.HEIC.supplemental-metadata.json", nullptr},
    {L"IMG_0600.MOV", L"IMG_0600.HEIC.supplemental-metadata.json", L""},
    {L"IMG_0600(1).HEIC", L"IMG_0600.HEIC.supplemental-metadata(1).json", L"IMG_0600.HEIC"},
    {L"IMG_0600(1).MOV", L"IMG_0600.HEIC.supplemental-metadata(1).json", L""},
    {L"Clip.jpg", L"Clip.jpg.json", nullptr},
    {L"Clip.mp4", L"Clip.mp4.json", nullptr},
    // A title that is not the item's; sidecars themselves.
    {L"Holiday.jpg", nullptr, nullptr},
    {L"IMG_0001.jpg.json", nullptr, nullptr},
    {L"IMG_0001.jpg.xmp", nullptr, nullptr},
};

class ExportFolder : public testing::TestWithParam<Row> {
  public:
    static void SetUpTestSuite() {
        for (const Row &row : Rows) {
            folder.Add(row.media);
            if (row.json && (!row.title || *row.title)) {
                folder.Add(row.json);
                titles[row.json] = row.title ? row.title : row.media;
            }
        }
        // Under Holiday.jpg's name, but another item's.
        folder.Add(L"Holiday.jpg.json");
        titles[L"Holiday.jpg.json"] = L"Holiday (2).jpg";
    }
    // What the caller does: the first candidate whose title matches.
    static std::wstring JsonOf(const std::wstring &media) {
        for (const std::wstring &json : ExportJsonCandidates(media, folder))
            if (ExportTitleMatches(titles[json], media))
                return json;
        return L"";
    }
    static FolderIndex folder;
    static std::map<std::wstring, std::wstring> titles;
};

FolderIndex ExportFolder::folder;
std::map<std::wstring, std::wstring> ExportFolder::titles;

TEST_P(ExportFolder, ItemTakesItsJson) {
    EXPECT_EQ(JsonOf(GetParam().media), GetParam().json ? GetParam().json : L"")
        << GetParam().media;
}

INSTANTIATE_TEST_SUITE_P(ExportNames, ExportFolder, testing::ValuesIn(Rows));

TEST(ExportNames, TenThousandItemsFindTheirOwnQuickly) {
    FolderIndex folder;
    const int count = 10000;
    auto media = [](int i) { return L"IMG_" + std::to_wstring(100000 + i) + L".jpg"; };
    for (int i = 0; i < count; ++i) {
        folder.Add(media(i));
        folder.Add(media(i) + L".supplemental-metadata.json");
    }
    auto start = std::chrono::steady_clock::now();
    int found = 0;
    for (int i = 0; i < count; ++i) {
        std::vector<std::wstring> candidates = ExportJsonCandidates(media(i), folder);
        found +=
            candidates.size() == 1 && candidates[0] == media(i) + L".supplemental-metadata.json";
    }
    EXPECT_EQ(found, count);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(ExportNames, EditorSidecars) {
    FolderIndex folder;
    for (const wchar_t *name :
         {L"IMG_1.CR2", L"IMG_1.CR2.xmp", L"IMG_1.xmp", L"IMG_2.NEF", L"img_2.XMP"})
        folder.Add(name);
    EXPECT_EQ(XmpSidecarCandidates(L"IMG_1.CR2", folder),
              (std::vector<std::wstring>{L"IMG_1.CR2.xmp", L"IMG_1.xmp"}));
    EXPECT_EQ(XmpSidecarCandidates(L"IMG_2.nef", folder), std::vector<std::wstring>{L"img_2.XMP"});
    EXPECT_TRUE(XmpSidecarCandidates(L"IMG_1.xmp", folder).empty());
    for (const wchar_t *name : {L"a.json", L"a.JSON", L"a.Xmp", L"a.jpg.json"})
        EXPECT_TRUE(IsSidecarName(name)) << name;
    for (const wchar_t *name : {L"a.jpg", L"json", L"a.json.jpg", L"a.xmpx"})
        EXPECT_FALSE(IsSidecarName(name)) << name;
}

} // namespace
