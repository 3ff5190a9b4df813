// The bounded text routines at their edges, LoadText's two slots per thread, and the version test.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/text.h"
#include "res/resource.h"

namespace {

constexpr wchar_t Canary = L'#';

// A buffer of the given capacity followed by canaries, so writes past the end show.
struct GuardedBuffer {
    explicit GuardedBuffer(size_t capacity) : capacity(capacity), storage(capacity + 8, Canary) {}
    wchar_t *Data() { return &storage[0]; }
    std::wstring Text() const { return storage.c_str(); }
    bool GuardIntact() const {
        return storage.find_first_not_of(Canary, capacity) == std::wstring::npos;
    }
    bool Untouched() const { return storage.find_first_not_of(Canary) == std::wstring::npos; }
    size_t capacity;
    std::wstring storage;
};

TEST(CopyText, FitsExactly) {
    wchar_t buffer[4];
    EXPECT_EQ(S_OK, CopyText(buffer, 4, L"abc"));
    EXPECT_STREQ(L"abc", buffer);
}

TEST(CopyText, TextOfCapacityLessOneIsCopiedWhole) {
    const std::wstring source(259, L'ą');
    GuardedBuffer buffer(260);
    size_t copied = 0;
    EXPECT_EQ(S_OK, CopyText(buffer.Data(), 260, source.c_str(), &copied));
    EXPECT_EQ(source, buffer.Text());
    EXPECT_EQ(259u, copied);
    EXPECT_TRUE(buffer.GuardIntact());

    GuardedBuffer plain(260);
    EXPECT_EQ(S_OK, CopyText(plain.Data(), 260, source.c_str()));
    EXPECT_EQ(source, plain.Text());
}

TEST(CopyText, TextOfCapacityIsCutAndTerminated) {
    std::wstring source(259, L'x');
    source += L'Z';
    GuardedBuffer buffer(260);
    size_t copied = 0;
    EXPECT_EQ(TextCut, CopyText(buffer.Data(), 260, source.c_str(), &copied));
    EXPECT_EQ(std::wstring(259, L'x'), buffer.Text());
    EXPECT_EQ(L'\0', buffer.storage[259]);
    EXPECT_EQ(259u, copied);
    EXPECT_TRUE(buffer.GuardIntact());

    GuardedBuffer plain(260);
    EXPECT_EQ(TextCut, CopyText(plain.Data(), 260, source.c_str()));
    EXPECT_EQ(std::wstring(259, L'x'), plain.Text());
    EXPECT_TRUE(plain.GuardIntact());
}

TEST(CopyText, CapacityOneHoldsOnlyTheTerminator) {
    GuardedBuffer buffer(1);
    size_t copied = 7;
    EXPECT_EQ(TextCut, CopyText(buffer.Data(), 1, L"a", &copied));
    EXPECT_EQ(L"", buffer.Text());
    EXPECT_EQ(0u, copied);
    EXPECT_EQ(S_OK, CopyText(buffer.Data(), 1, L""));
    EXPECT_TRUE(buffer.GuardIntact());
}

TEST(CopyText, BadCapacityWritesNothing) {
    for (size_t capacity : {size_t{0}, MaxTextCapacity + 1, static_cast<size_t>(-1)}) {
        GuardedBuffer buffer(4);
        size_t copied = 7;
        EXPECT_EQ(TextBadArgument, CopyText(buffer.Data(), capacity, L"abc")) << capacity;
        EXPECT_EQ(TextBadArgument, CopyText(buffer.Data(), capacity, L"abc", &copied));
        EXPECT_TRUE(buffer.Untouched()) << capacity;
        EXPECT_EQ(0u, copied);
    }
}

TEST(FormatText, OutputOfCapacityLessOneIsWholeAndTerminated) {
    GuardedBuffer buffer(8);
    EXPECT_EQ(S_OK, FormatText(buffer.Data(), 8, L"%s-%u", L"abcd", 12u));
    EXPECT_EQ(L"abcd-12", buffer.Text());
    EXPECT_EQ(L'\0', buffer.storage[7]);
    EXPECT_TRUE(buffer.GuardIntact());
}

TEST(FormatText, OutputOfCapacityIsCutAndTerminated) {
    GuardedBuffer buffer(8);
    EXPECT_EQ(TextCut, FormatText(buffer.Data(), 8, L"%s-%u", L"abcd", 123u));
    EXPECT_EQ(L"abcd-12", buffer.Text());
    EXPECT_TRUE(buffer.GuardIntact());

    GuardedBuffer longer(8);
    EXPECT_EQ(TextCut, FormatText(longer.Data(), 8, L"%s", std::wstring(300, L'y').c_str()));
    EXPECT_EQ(std::wstring(7, L'y'), longer.Text());
    EXPECT_TRUE(longer.GuardIntact());
}

TEST(FormatText, BadCapacityWritesNothing) {
    for (size_t capacity : {size_t{0}, MaxTextCapacity + 1}) {
        GuardedBuffer buffer(16);
        EXPECT_EQ(TextBadArgument, FormatText(buffer.Data(), capacity, L"%d", 5)) << capacity;
        EXPECT_TRUE(buffer.Untouched()) << capacity;
    }
    GuardedBuffer largest(16);
    EXPECT_EQ(S_OK, FormatText(largest.Data(), MaxTextCapacity, L"%d", 5))
        << "the largest capacity is still accepted";
    EXPECT_EQ(L"5", largest.Text());
}

TEST(FormatText, ConversionsForWideText) {
    wchar_t buffer[256];
    EXPECT_EQ(S_OK, FormatText(buffer, 256, L"Kod błędu: %d", -2147024891));
    EXPECT_STREQ(L"Kod błędu: -2147024891", buffer);
    EXPECT_EQ(S_OK, FormatText(buffer, 256, L"%i|%d", -1, 0));
    EXPECT_STREQ(L"-1|0", buffer);
    EXPECT_EQ(S_OK, FormatText(buffer, 256, L"%u, %u", 4294967295u, 0u));
    EXPECT_STREQ(L"4294967295, 0", buffer);
    // %s takes a UTF-16 text, whatever its characters.
    EXPECT_EQ(S_OK,
              FormatText(buffer, 256, L"%s\nPlik: %s", L"Odmowa dostępu.", L"C:\\żółw\\文件.txt"));
    EXPECT_STREQ(L"Odmowa dostępu.\nPlik: C:\\żółw\\文件.txt", buffer);
    EXPECT_EQ(S_OK, FormatText(buffer, 256, L"文件：%u，文件夹：%u", 3u, 7u));
    EXPECT_STREQ(L"文件：3，文件夹：7", buffer);
}

// LoadText: two slots per thread, the first and third load share one.
TEST(LoadText, ThirdLoadReusesTheFirstSlotAndKeepsTheSecond) {
    const wchar_t *first = LoadText(IDS_COUNT);
    EXPECT_STREQ(L"Przelicz pliki", first);
    const wchar_t *second = LoadText(IDS_STOP);
    EXPECT_NE(first, second);
    EXPECT_STREQ(L"Przelicz pliki", first) << "the first text lives until the second-next load";
    const wchar_t *third = LoadText(IDS_ERROR_TITLE);
    EXPECT_EQ(first, third);
    EXPECT_STREQ(L"Błąd dostępu do pliku", third);
    EXPECT_STREQ(L"Przerwij", second);
    EXPECT_EQ(second, LoadText(IDS_CANCEL));
}

TEST(LoadText, LoadsOnAnotherThreadNeverTouchThisThreadsTexts) {
    const wchar_t *first = LoadText(IDS_COUNT);
    const wchar_t *second = LoadText(IDS_STOP);
    const wchar_t *theirs[3] = {};
    std::thread other([&] {
        for (int round = 0; round < 50; ++round) {
            theirs[0] = LoadText(IDS_ERROR_TITLE);
            theirs[1] = LoadText(IDS_CLOSE_PROGRAM);
            theirs[2] = LoadText(IDS_HINT_ACCESS);
        }
    });
    other.join();
    EXPECT_STREQ(L"Przelicz pliki", first);
    EXPECT_STREQ(L"Przerwij", second);
    for (const wchar_t *text : theirs) {
        EXPECT_NE(first, text);
        EXPECT_NE(second, text);
    }
    // And this thread's rotation went on where it stood.
    EXPECT_EQ(first, LoadText(IDS_CANCEL));
}

TEST(LoadText, UnknownIdentifierGivesAnEmptyText) {
    const wchar_t *text = LoadText(IDS_COUNT);
    LoadText(IDS_STOP);
    const wchar_t *missing = LoadText(2);
    EXPECT_EQ(text, missing);
    EXPECT_STREQ(L"", missing) << "nothing may be left over from an earlier load";
}

TEST(LoadTextChinese, ChineseUserInterfaceLoadsChineseTexts) {
    const wchar_t *format = LoadText(IDS_STATUS_RESULT);
    wchar_t status[256];
    EXPECT_EQ(S_OK, FormatText(status, 256, format, 12u, 3u));
    EXPECT_STREQ(L"文件：12，文件夹：3", status);
    EXPECT_STREQ(L"停止", LoadText(IDS_STOP));
}

TEST(Version, VistaOrLaterUnderTheDefaultWindows) {
    EXPECT_TRUE(IsVistaOrLater());
}

TEST(VersionWinXp, NotVistaOrLaterUnderWindowsXp) {
    EXPECT_FALSE(IsVistaOrLater());
    // The setting is real: the system reports 5.1 to this copy of the program.
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(GetVersionExW(&version));
#pragma GCC diagnostic pop
    EXPECT_EQ(5u, version.dwMajorVersion);
}

} // namespace
