// Saving a list over an older one: replaced whole, or on failure left whole, with the reason.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/test_support.h"
#include "engine/list_file.h"

using namespace testsupport;

namespace {

std::string Content(const std::wstring &path) {
    std::string content(1 << 20, '\0');
    HANDLE file = CreateFileW(Native(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    DWORD read = 0;
    ReadFile(file, &content[0], static_cast<DWORD>(content.size()), &read, nullptr);
    CloseHandle(file);
    content.resize(read);
    return content;
}

// The names in a folder, to see that nothing was left beside the list.
int Entries(const std::wstring &folder) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    int count = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do
            count += entry.cFileName[0] != L'.';
        while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    return count;
}

TEST(ListFile, ALongPathIsReplacedWholeAndNothingIsLeftBeside) {
    TempDir dir;
    const std::wstring folder = dir / std::wstring(150, L'f') + L"\\" + std::wstring(150, L'g');
    MakeFolder(folder);
    WriteTextFile(folder + L"\\list.csv", "old list");
    EXPECT_EQ(DWORD{ERROR_SUCCESS}, WriteFileReplacing((folder + L"\\list.csv").c_str(), "new"));
    EXPECT_EQ("new", Content(folder + L"\\list.csv"));
    EXPECT_EQ(1, Entries(Native(folder)));
}

TEST(ListFile, OnAFullVolumeTheOldListStaysWholeAndTheCodeSaysWhy) {
    wchar_t full[MAX_PATH];
    if (!GetEnvironmentVariableW(L"VANDREL_FULL_DIR", full, MAX_PATH))
        GTEST_SKIP() << "no small volume to fill here";
    const std::wstring path = std::wstring(full) + L"\\list.csv";
    const std::string old(8 * 1024, 'o');
    WriteTextFile(path, old);
    EXPECT_EQ(DWORD{ERROR_DISK_FULL}, WriteFileReplacing(path.c_str(), std::string(1 << 20, 'n')));
    EXPECT_EQ(old, Content(path));
    EXPECT_EQ(1, Entries(full));
    DeleteFileW(path.c_str());
}

} // namespace
