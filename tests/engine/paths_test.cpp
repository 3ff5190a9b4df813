// Joining a folder and a name, and the names that the system takes for devices.
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

TEST(ParentPathTest, TheFolderThatHoldsAnItem) {
    const struct {
        const wchar_t *path, *parent;
    } cases[] = {
        {L"\\\\?\\E:\\Photos\\a.txt", L"\\\\?\\E:\\Photos"},
        {L"\\\\?\\E:\\a.txt", L"\\\\?\\E:\\"},
        {L"\\\\?\\E:\\", L""},
        {L"a.txt", L""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(std::wstring(c.parent), ParentPath(c.path));
}

TEST(NamesDeviceTest, DeviceNamesInAnyCaseWithOrWithoutExtension) {
    const struct {
        const wchar_t *path;
        bool device;
    } cases[] = {
        {L"C:\\x\\aux.txt", true}, {L"NUL", true},          {L"C:\\x\\Com7.log", true},
        {L"lpt1", true},           {L"C:\\x\\prn ", true},  {L"C:\\x\\con.a.b", true},
        {L"C:\\x\\aux1", false},   {L"C:\\x\\com0", false}, {L"C:\\nul\\a.txt", false},
        {L"C:\\x\\a.aux", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.device, NamesDevice(c.path)) << testing::PrintToString(std::wstring(c.path));
}

} // namespace
