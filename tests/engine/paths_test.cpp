// Joining a folder and a name.
#include <gtest/gtest.h>

#include <string>

#include "engine/paths.h"

namespace {

TEST(JoinPathTest, OneBackslashBetweenFolderAndName) {
    const struct {
        const wchar_t *folder, *name, *joined;
    } cases[] = {
        {L"\\\\?\\E:\\", L"a.txt", L"\\\\?\\E:\\a.txt"},
        {L"E:\\", L"a.txt", L"E:\\a.txt"},
        {L"\\\\?\\E:\\Photos", L"a.txt", L"\\\\?\\E:\\Photos\\a.txt"},
        {L"\\\\?\\UNC\\server\\share\\", L"x", L"\\\\?\\UNC\\server\\share\\x"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(std::wstring(c.joined), JoinPath(c.folder, c.name));
}

} // namespace
