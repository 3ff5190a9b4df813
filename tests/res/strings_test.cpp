// Every string of the three string tables, read back from the built program.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/job_context.h"
#include "app/text.h"
#include "common/test_support.h"
#include "res/resource.h"
#include "resource_reader.h"

namespace {

constexpr LANGID Polish = 0x0415;
constexpr LANGID Chinese = 0x0004;
constexpr LANGID English = 0x0409;

const std::map<int, std::wstring> polishStrings = {
    {1, L"Vandrel"},
    {3, L"dd'.'MM'.'yyyy'   'HH':'mm':'ss"},
    {4, L"Wybierz katalog lub plik:"},
    {5, L"Trwa zliczanie... (plików: %u, folderów: %u)"},
    {6, L"Przetwarzanie... (plików: %u, folderów: %u)"},
    {7, L"Plików: %u, folderów: %u"},
    {8, L"Przelicz pliki"},
    {9, L"Przerwij"},
    {16, L"autor@vandrel.example"},
    {17, L"http://vandrel.example/"},
    {18, L"Wersja %s dla Windows %s"},
    {32, L"%s\nPlik: %s"},
    {33, L"Błąd dostępu do pliku"},
    {34, L"Kod błędu: %d"},
    {35, L"Nie można przenosić wielu plików"},
    {36, L"Kliknij OK, aby kontunuować lub Anuluj, aby przerwać proces."},
    {37, L"Kontynuuj"},
    {38, L"Pokaż szczegóły"},
    {39, L"Ukryj szczegóły"},
    {40, L"Sprawdź czy podana ścieżka jest prawidłowa, nie zawiera błędów oraz czy plik lub folder "
         L"istnieje."},
    {41, L"Dostęp do pliku został zablokowany. Możesz nie mieć odpowiednich uprawnień dostępu. "
         L"Uruchom ponownie aplikację jako administrator, aby zastosować ustawienia do danego "
         L"pliku."},
    {42, L"Zamknij wszystkie niepotrzebne programy, aby uniknąć tego błędu."},
    {43, L"Anuluj"},
    {44, L"Zamknij program"},
    {45, L"Pliki systemowe są używane przez system operacyjny i nie mogą być modyfikowane gdy są "
         L"w użyciu."},
    {46, L"Cofnij ostatnie zastosowanie"},
    {47, L"Przywrócić czasy, które %u elementów miało przed zastosowaniem z %s?\n\n%s"},
    {48, L"Przywrócono: %u, pominięto: %u"},
    {49, L"Elementów, których czasów nie zapisano i nie da się przywrócić: %u."},
    {50, L"Ustaw powyższe daty"},
    {51, L"Przesuń jak powyżej"},
    {52, L"Czas modyfikacji"},
    {53, L"Czas utworzenia"},
    {54, L"Data zdjęcia lub filmu"},
    {55, L"Data w nazwie pliku"},
    {56, L"Zmieniono: %u z %u"},
    {57, L", bez daty: %u"},
    {58, L"Czas po przesunięciu wypadłby poza lata od 1601 do 30827."},
    {59, L"Elementów: %u, do zmiany: %u"},
    {60, L", bez daty: %u"},
    {61, L"Element"},
    {62, L"%s (obecnie)"},
    {63, L"%s (po zmianie)"},
    {64, L"Utworzony"},
    {65, L"Zmodyfikowany"},
    {66, L"Ostatnio używany"},
    {67, L"(bez zmian)"},
    {68, L"(brak daty)"},
    {69, L"Pliki CSV (*.csv)|*.csv|Wszystkie pliki (*.*)|*.*|"},
    {70, L"podglad.csv"},
    {71, L"Nie udało się zapisać listy."},
    {72, L"(poza zakresem)"},
    {73, L", poza zakresem: %u"},
    {74, L"Najnowszy plik w środku"},
    {75, L"Z zapisanej listy..."},
    {76, L"Źródło"},
    {77, L"EXIF"},
    {78, L"IPTC"},
    {79, L"XMP"},
    {80, L"plik XMP obok"},
    {81, L"JSON eksportu"},
    {82, L"nagłówek filmu"},
    {83, L"nazwa pliku"},
    {84, L"zapisana lista"},
    {85, L"najnowszy plik w środku"},
    {86, L"(brak na liście)"},
    {87, L", spoza listy: %u"},
    {88, L", pozycji listy bez elementu: %u"},
    {89, L"Czasy z zapisanej listy"},
    {90, L"Nie udało się odczytać listy %s."},
    {91, L"Wiersz %u listy %s jest nieprawidłowy: %s."},
    {92, L"plik jest większy, niż może być lista"},
    {93, L"to nie jest tekst UTF-8"},
    {94, L"pierwszy wiersz nie nazywa żadnej kolumny czasu obecnego"},
    {95, L"pole w cudzysłowie nie ma końca"},
    {96, L"ma %u pól, a pierwszy wiersz %u"},
    {97, L"nie nazywa żadnego elementu"},
    {98, L"„%s” nie jest czasem w postaci 2024-01-31T23:59:59+01:00"},
};

const std::map<int, std::wstring> chineseStrings = {
    {1, L"Vandrel v2.0 汉化：Vandrel 翻译组"},
    {3, L"yyyy'/'M'/'d'   'hh':'mm':'ss' 'tt"},
    {4, L"选择文件夹或文件："},
    {5, L"正在搜索...（文件：%u，文件夹：%u）"},
    {6, L"正在处理...（文件：%u，文件夹：%u）"},
    {7, L"文件：%u，文件夹：%u"},
    {8, L"过滤"},
    {9, L"停止"},
    {16, L"autor@vandrel.example"},
    {17, L"http://vandrel.example/"},
    {18, L"Version %s for Windows %s"},
    {32, L"%s\n文件：%s"},
    {33, L"访问文件时出错"},
    {34, L"错误代码：%d"},
    {35, L"无法删除多个文件"},
    {36, L"单击“确定”继续，或单击“取消”停止该过程。"},
    {37, L"继续"},
    {38, L"显示详细资料"},
    {39, L"隐藏细节"},
    {40, L"检查有效路径，是否正确输入了文件或文件夹。"},
    {41, L"文件访问被拒绝。您可能没有访问该文件的适当权限。请以管理员身份重新启动此应用程序，以应用"
         L"所需文件的设置。"},
    {42, L"关闭所有不必要的前台应用程序以避免此错误。"},
    {43, L"取消"},
    {44, L"关闭程序"},
    {45, L"系统文件正由操作系统使用，在使用期间无法修改。"},
    {46, L"撤销上次应用"},
    {47, L"要将 %u 个项目恢复为 %s 应用之前的时间吗？\n\n%s"},
    {48, L"已恢复：%u，已跳过：%u"},
    {49, L"此次应用中有 %u 个项目未被记录，无法恢复。"},
    {50, L"设置为上面的日期"},
    {51, L"按上面的变化平移"},
    {52, L"项目的修改时间"},
    {53, L"项目的创建时间"},
    {54, L"拍摄日期（照片和视频）"},
    {55, L"文件名中的日期"},
    {56, L"已更改：%u（共 %u）"},
    {57, L"，无日期：%u"},
    {58, L"平移后的时间将超出 1601 年至 30827 年的范围。"},
    {59, L"项目：%u，将更改：%u"},
    {60, L"，无日期：%u"},
    {61, L"项目"},
    {62, L"当前%s"},
    {63, L"新%s"},
    {64, L"创建时间"},
    {65, L"修改时间"},
    {66, L"访问时间"},
    {67, L"（未更改）"},
    {68, L"（无日期）"},
    {69, L"CSV 文件 (*.csv)|*.csv|所有文件 (*.*)|*.*|"},
    {70, L"预览.csv"},
    {71, L"无法保存列表。"},
    {72, L"（超出范围）"},
    {73, L"，超出范围：%u"},
    {74, L"文件夹内最新的文件"},
    {75, L"来自已保存的列表..."},
    {76, L"来源"},
    {77, L"EXIF"},
    {78, L"IPTC"},
    {79, L"XMP"},
    {80, L"XMP 附属文件"},
    {81, L"导出 JSON"},
    {82, L"影片标头"},
    {83, L"文件名"},
    {84, L"已保存的列表"},
    {85, L"内部最新的文件"},
    {86, L"（不在列表中）"},
    {87, L"，不在列表中：%u"},
    {88, L"，找不到项目的列表行：%u"},
    {89, L"来自已保存列表的时间"},
    {90, L"无法读取列表 %s。"},
    {91, L"第 %u 行（列表 %s）无效：%s。"},
    {92, L"文件太大，不可能是列表"},
    {93, L"不是 UTF-8 文本"},
    {94, L"第一行没有列出任何当前时间列"},
    {95, L"带引号的字段没有结束"},
    {96, L"有 %u 个字段，而第一行有 %u 个"},
    {97, L"没有指明任何项目"},
    {98, L"“%s”不是 2024-01-31T23:59:59+01:00 形式的时间"},
};

const std::map<int, std::wstring> englishStrings = {
    {1, L"Vandrel"},
    {3, L"MM'/'dd'/'yyyy'   'hh':'mm':'ss' 'tt"},
    {4, L"Choose a folder or a file:"},
    {5, L"Counting... (files: %u, folders: %u)"},
    {6, L"Processing... (files: %u, folders: %u)"},
    {7, L"Files: %u, folders: %u"},
    {8, L"Count files"},
    {9, L"Stop"},
    {16, L"autor@vandrel.example"},
    {17, L"http://vandrel.example/"},
    {18, L"Version %s for Windows %s"},
    {32, L"%s\nFile: %s"},
    {33, L"File access error"},
    {34, L"Error code: %d"},
    {35, L"Multiple files cannot be moved"},
    {36, L"Click OK to continue or Cancel to stop the process."},
    {37, L"Continue"},
    {38, L"Show details"},
    {39, L"Hide details"},
    {40, L"Check that the path is correct, contains no typing errors and that the file or folder "
         L"exists."},
    {41, L"Access to the file was denied. You may not have the required access rights. Restart the "
         L"application as an administrator to apply the settings to this file."},
    {42, L"Close all unnecessary programs to avoid this error."},
    {43, L"Cancel"},
    {44, L"Close program"},
    {45, L"System files are used by the operating system and cannot be changed while they are in "
         L"use."},
    {46, L"Undo last apply"},
    {47, L"Restore the times that %u items had before the apply of %s?\n\n%s"},
    {48, L"Restored: %u, skipped: %u"},
    {49, L"%u items of this apply were not recorded and cannot be put back."},
    {50, L"Set the dates above"},
    {51, L"Shift by the change above"},
    {52, L"The item's modification time"},
    {53, L"The item's creation time"},
    {54, L"Date taken (photos and videos)"},
    {55, L"Date in the file name"},
    {56, L"Changed: %u of %u"},
    {57, L", without a date: %u"},
    {58, L"The shifted time would lie outside the years 1601 to 30827."},
    {59, L"Items: %u, changing: %u"},
    {60, L", without a date: %u"},
    {61, L"Item"},
    {62, L"%s now"},
    {63, L"%s new"},
    {64, L"Created"},
    {65, L"Modified"},
    {66, L"Last accessed"},
    {67, L"(unchanged)"},
    {68, L"(no date)"},
    {69, L"CSV files (*.csv)|*.csv|All files (*.*)|*.*|"},
    {70, L"preview.csv"},
    {71, L"The list could not be saved."},
    {72, L"(out of range)"},
    {73, L", out of range: %u"},
    {74, L"Newest item inside"},
    {75, L"Times from a saved list..."},
    {76, L"Source"},
    {77, L"EXIF"},
    {78, L"IPTC"},
    {79, L"XMP"},
    {80, L"XMP sidecar"},
    {81, L"export JSON"},
    {82, L"movie header"},
    {83, L"file name"},
    {84, L"saved list"},
    {85, L"newest item inside"},
    {86, L"(not in the list)"},
    {87, L", not in the list: %u"},
    {88, L", list lines without their item: %u"},
    {89, L"Times from a saved list"},
    {90, L"The list %s could not be read."},
    {91, L"Line %u of the list %s cannot be taken: %s."},
    {92, L"the file is bigger than a list can be"},
    {93, L"it is not UTF-8 text"},
    {94, L"the first line names no column of times now"},
    {95, L"a quoted field does not end"},
    {96, L"it has %u fields where the first line has %u"},
    {97, L"it names no item"},
    {98, L"\"%s\" is no time like 2024-01-31T23:59:59+01:00"},
};

std::vector<LANGID> SortedDescending(std::vector<LANGID> languages) {
    std::sort(languages.begin(), languages.end(), std::greater<LANGID>());
    return languages;
}

// These tests read both languages from the file, whatever the user interface: their names say
// "Zh", because a name with "Chinese" would run them only under a Chinese user interface.
class ProgramStrings : public testing::Test {
  protected:
    restest::ProgramImage image{testsupport::BuildPath(L"Vandrel.exe")};
};

// Compares string by string, so a failure names the identifier.
void ExpectStrings(const std::map<int, std::wstring> &expected,
                   const std::map<int, std::wstring> &actual) {
    for (const auto &[id, text] : expected) {
        const auto found = actual.find(id);
        ASSERT_NE(actual.end(), found) << "string " << id << " is missing";
        EXPECT_EQ(text, found->second) << "string " << id;
    }
    for (const auto &[id, text] : actual)
        EXPECT_EQ(1u, expected.count(id)) << "unexpected string " << id;
}

TEST_F(ProgramStrings, PolishTableHoldsExactlyTheProgramsTexts) {
    ASSERT_TRUE(image.Loaded());
    ExpectStrings(polishStrings, restest::ReadStrings(image, Polish));
}

TEST_F(ProgramStrings, ZhTableHoldsExactlyTheProgramsTexts) {
    ASSERT_TRUE(image.Loaded());
    ExpectStrings(chineseStrings, restest::ReadStrings(image, Chinese));
}

TEST_F(ProgramStrings, EnTableHoldsExactlyTheProgramsTexts) {
    ASSERT_TRUE(image.Loaded());
    ExpectStrings(englishStrings, restest::ReadStrings(image, English));
}

TEST_F(ProgramStrings, OnlyPolishZhAndEnCarryStrings) {
    ASSERT_TRUE(image.Loaded());
    // Blocks 1 to 7 hold identifiers 0 to 111; no further block exists.
    for (int block = 1; block <= 7; ++block) {
        const auto languages = image.Languages(RT_STRING, MAKEINTRESOURCEW(block));
        EXPECT_EQ((std::vector<LANGID>{Polish, English, Chinese}), SortedDescending(languages))
            << block;
    }
    EXPECT_TRUE(image.Languages(RT_STRING, MAKEINTRESOURCEW(8)).empty());
}

// The texts that the program fills: the same placeholders in the same order, and nothing else
// that a printf-style formatter would read.
std::wstring Placeholders(const std::wstring &text) {
    std::wstring found;
    for (size_t at = text.find(L'%'); at != std::wstring::npos; at = text.find(L'%', at + 2))
        found += text.substr(at, 2);
    return found;
}

TEST_F(ProgramStrings, PlaceholdersAgreeBetweenLanguages) {
    ASSERT_TRUE(image.Loaded());
    const auto polish = restest::ReadStrings(image, Polish);
    const auto chinese = restest::ReadStrings(image, Chinese);
    const auto english = restest::ReadStrings(image, English);
    for (const auto &[id, text] : polish) {
        ASSERT_EQ(1u, chinese.count(id)) << id;
        ASSERT_EQ(1u, english.count(id)) << id;
        EXPECT_EQ(Placeholders(text), Placeholders(chinese.at(id))) << "string " << id;
        EXPECT_EQ(Placeholders(text), Placeholders(english.at(id))) << "string " << id;
        EXPECT_LT(text.size(), TextSlotCapacity) << "string " << id;
        EXPECT_LT(chinese.at(id).size(), TextSlotCapacity) << "string " << id;
        EXPECT_LT(english.at(id).size(), TextSlotCapacity) << "string " << id;
    }
    // English shortens like Polish: the one ASCII comma comes right before the folder count.
    for (int id : {IDS_STATUS_COUNTING, IDS_STATUS_APPLYING, IDS_STATUS_RESULT}) {
        const std::wstring &text = english.at(id);
        EXPECT_EQ(text.find(L','), text.rfind(L',')) << id;
        EXPECT_LT(text.find(L"%u"), text.find(L',')) << id;
        EXPECT_GT(text.rfind(L"%u"), text.find(L',')) << id;
    }
    // Chinese texts keep ASCII placeholders but never an ASCII comma, which the status line
    // would take as the place to shorten.
    for (int id : {IDS_STATUS_COUNTING, IDS_STATUS_APPLYING, IDS_STATUS_RESULT, IDS_STATUS_CHANGED,
                   IDS_STATUS_NO_DATE})
        EXPECT_EQ(std::wstring::npos, chinese.at(id).find(L',')) << id;
}

// The save dialog's filter becomes pairs of name and pattern once every '|' is a NUL, the first
// pattern matching the proposed file name.
TEST_F(ProgramStrings, SaveFilterAndNameAreUsable) {
    ASSERT_TRUE(image.Loaded());
    for (LANGID language : {Polish, Chinese, English}) {
        const auto strings = restest::ReadStrings(image, language);
        const std::wstring &filter = strings.at(IDS_SAVE_FILTER);
        std::vector<std::wstring> parts;
        for (size_t start = 0, bar; (bar = filter.find(L'|', start)) != std::wstring::npos;
             start = bar + 1)
            parts.push_back(filter.substr(start, bar - start));
        ASSERT_EQ(4u, parts.size()) << language;
        EXPECT_EQ(L'|', filter.back());
        EXPECT_EQ(L"*.csv", parts[1]);
        EXPECT_EQ(L"*.*", parts[3]);
        const std::wstring &name = strings.at(IDS_SAVE_NAME);
        EXPECT_EQ(name.size() - 4, name.rfind(L".csv")) << language;
        EXPECT_EQ(std::wstring::npos, name.find_first_of(L"\\/:*?\"<>|")) << language;
    }
}

TEST_F(ProgramStrings, ContactAddressesAreUsable) {
    ASSERT_TRUE(image.Loaded());
    for (LANGID language : {Polish, Chinese, English}) {
        const auto strings = restest::ReadStrings(image, language);
        const std::wstring &mail = strings.at(IDS_SUPPORT_MAIL);
        const size_t at = mail.find(L'@');
        ASSERT_NE(std::wstring::npos, at);
        EXPECT_GT(at, 0u);
        EXPECT_NE(std::wstring::npos, mail.find(L'.', at));
        EXPECT_EQ(std::wstring::npos, mail.find(L':')) << "plain address, no scheme";
        EXPECT_EQ(0u, strings.at(IDS_HOMEPAGE).rfind(L"http://", 0));
    }
}

// Loaded the way the program loads them: the user interface language picks the table.
TEST(StringsLoaded, PolishUserInterfaceGetsPolishTexts) {
    wchar_t text[256];
    ASSERT_GT(LoadStringW(appInstance, IDS_ERROR_TITLE, text, 256), 0);
    EXPECT_STREQ(L"Błąd dostępu do pliku", text);
    ASSERT_GT(LoadStringW(appInstance, IDS_PRODUCT, text, 256), 0);
    EXPECT_STREQ(L"Vandrel", text);
}

// Every user interface but Polish and Chinese falls back to the English texts.
TEST(StringsLoadedEnglish, EnglishUserInterfaceGetsEnglishTexts) {
    wchar_t text[256];
    ASSERT_GT(LoadStringW(appInstance, IDS_ERROR_TITLE, text, 256), 0);
    EXPECT_STREQ(L"File access error", text);
    ASSERT_GT(LoadStringW(appInstance, IDS_STATUS_RESULT, text, 256), 0);
    EXPECT_STREQ(L"Files: %u, folders: %u", text);
}

TEST(StringsLoadedChinese, ChineseUserInterfaceGetsChineseTexts) {
    wchar_t text[256];
    ASSERT_GT(LoadStringW(appInstance, IDS_ERROR_TITLE, text, 256), 0);
    EXPECT_STREQ(L"访问文件时出错", text);
    ASSERT_GT(LoadStringW(appInstance, IDS_STATUS_RESULT, text, 256), 0);
    EXPECT_STREQ(L"文件：%u，文件夹：%u", text);
}

} // namespace
