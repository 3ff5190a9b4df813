// The version block, the manifest and the icon of the built program.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "res/resource.h"
#include "resource_reader.h"

namespace {

std::wstring ProgramPath() {
    return testsupport::BuildPath(L"Vandrel.exe");
}

// Each language carries its own version resource (identifier 1), like the dialogs and the
// string table, with the one block and translation of that language.
struct VersionLanguage {
    LANGID resourceLanguage;
    const wchar_t *block;
    WORD translation;
    const wchar_t *company;
    const wchar_t *copyright;
};

const VersionLanguage versionLanguages[] = {
    {0x0415, L"041504b0", 0x0415, L"Autorzy Vandrela", L"Copyright © 2009-2011 autorzy Vandrela"},
    {0x0004, L"080404b0", 0x0804, L"Vandrel 作者", L"版权所有 © 2009-2011 Vandrel 作者"},
};

class VersionBlock : public testing::Test {
  protected:
    // The version resource of exactly this language, as VerQueryValueW reads it.
    std::vector<BYTE> Read(LANGID language) const {
        return image.Resource(RT_VERSION, MAKEINTRESOURCEW(1), language);
    }

    static std::wstring Value(const std::vector<BYTE> &block, const std::wstring &language,
                              const std::wstring &name) {
        const std::wstring query = L"\\StringFileInfo\\" + language + L"\\" + name;
        void *value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(block.data(), query.c_str(), &value, &length) || !value)
            return L"(missing)";
        return static_cast<const wchar_t *>(value);
    }

    restest::ProgramImage image{ProgramPath()};
};

TEST_F(VersionBlock, FixedPartNamesVersion2_0_3680_7000) {
    for (const VersionLanguage &language : versionLanguages) {
        SCOPED_TRACE(testing::Message() << "language " << language.resourceLanguage);
        const std::vector<BYTE> block = Read(language.resourceLanguage);
        ASSERT_FALSE(block.empty());
        VS_FIXEDFILEINFO *fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(
            VerQueryValueW(block.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
        ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
        EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
        EXPECT_EQ(MAKELONG(0, 2), fixed->dwFileVersionMS);
        EXPECT_EQ(MAKELONG(7000, 3680), fixed->dwFileVersionLS);
        EXPECT_EQ(MAKELONG(0, 2), fixed->dwProductVersionMS);
        EXPECT_EQ(MAKELONG(7000, 3680), fixed->dwProductVersionLS);
        EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
        EXPECT_EQ(0u, fixed->dwFileFlags & fixed->dwFileFlagsMask) << "no debug or pre-release";
    }
}

TEST_F(VersionBlock, EachLanguageHoldsOnlyItsOwnBlockAndTranslation) {
    for (const VersionLanguage &language : versionLanguages) {
        SCOPED_TRACE(testing::Message() << "language " << language.resourceLanguage);
        const std::vector<BYTE> block = Read(language.resourceLanguage);
        ASSERT_FALSE(block.empty());
        WORD *pairs = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                                   reinterpret_cast<void **>(&pairs), &length));
        ASSERT_EQ(4u, length);
        EXPECT_EQ(language.translation, pairs[0]);
        EXPECT_EQ(1200, pairs[1]);
        for (const VersionLanguage &other : versionLanguages) {
            if (&other != &language) {
                EXPECT_EQ(L"(missing)", Value(block, other.block, L"ProductName"));
            }
        }
    }
}

TEST_F(VersionBlock, EachLanguageBlockCarriesTheProgramsStrings) {
    for (const VersionLanguage &language : versionLanguages) {
        SCOPED_TRACE(testing::Message() << "language " << language.resourceLanguage);
        const std::vector<BYTE> block = Read(language.resourceLanguage);
        ASSERT_FALSE(block.empty());
        const std::wstring name = language.block;
        EXPECT_EQ(L"Vandrel", Value(block, name, L"FileDescription"));
        EXPECT_EQ(L"Vandrel", Value(block, name, L"InternalName"));
        EXPECT_EQ(L"Vandrel", Value(block, name, L"ProductName"));
        EXPECT_EQ(L"Vandrel.exe", Value(block, name, L"OriginalFilename"));
        EXPECT_EQ(L"2.0.3680.7000", Value(block, name, L"FileVersion"));
        EXPECT_EQ(L"2.0", Value(block, name, L"ProductVersion"));
        EXPECT_EQ(language.company, Value(block, name, L"CompanyName"));
        EXPECT_EQ(language.copyright, Value(block, name, L"LegalCopyright"));
    }
}

class ProgramImageTest : public testing::Test {
  protected:
    restest::ProgramImage image{ProgramPath()};
};

size_t CountOf(const std::string &text, const std::string &part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST_F(ProgramImageTest, ManifestBindsCommonControls6ForThisProcessorAsInvoker) {
    ASSERT_TRUE(image.Loaded());
    const auto data = image.Resource(RT_MANIFEST, MAKEINTRESOURCEW(1), 0x0409);
    ASSERT_FALSE(data.empty());
    const std::string manifest(data.begin(), data.end());
    // A 64-bit program must name amd64 in both places, or Windows refuses to start it.
    const std::string processor = sizeof(void *) == 8 ? "amd64" : "x86";
    EXPECT_EQ(2u, CountOf(manifest, "processorArchitecture=\"" + processor + "\""));
    EXPECT_EQ(2u, CountOf(manifest, "processorArchitecture="));
    EXPECT_EQ(1u, CountOf(manifest, "<description>Vandrel</description>"));
    EXPECT_EQ(2u, CountOf(manifest, "type=\"win32\""));
    EXPECT_EQ(1u, CountOf(manifest, "version=\"1.0.0.0\""));
    EXPECT_EQ(1u, CountOf(manifest, "name=\"Microsoft.Windows.Common-Controls\" "
                                    "version=\"6.0.0.0\""));
    EXPECT_EQ(1u, CountOf(manifest, "publicKeyToken=\"6595b64144ccf1df\""));
    EXPECT_EQ(1u, CountOf(manifest, "language=\"*\""));
    EXPECT_EQ(1u, CountOf(manifest, "level=\"asInvoker\""));
    EXPECT_EQ(1u, CountOf(manifest, "uiAccess=\"false\""));
    // The manifest exists once, under 0x0409 only.
    EXPECT_EQ(std::vector<LANGID>{0x0409}, image.Languages(RT_MANIFEST, MAKEINTRESOURCEW(1)));
}

// The text between the first `open` and the `close` after it; empty when either is missing.
std::string Between(const std::string &text, const std::string &open, const std::string &close) {
    const size_t start = text.find(open);
    const size_t end = start == std::string::npos ? start : text.find(close, start + open.size());
    return end == std::string::npos ? ""
                                    : text.substr(start + open.size(), end - start - open.size());
}

TEST_F(ProgramImageTest, ManifestDeclaresPerMonitorAwarenessAndTheSystemsItKnows) {
    ASSERT_TRUE(image.Loaded());
    const auto data = image.Resource(RT_MANIFEST, MAKEINTRESOURCEW(1), 0x0409);
    const std::string manifest(data.begin(), data.end());
    const std::string settings =
        Between(Between(manifest, "<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">",
                        "</application>"),
                "<windowsSettings>", "</windowsSettings>");
    // Windows 10 from 1607 on reads the list, older systems from 8.1 the single value.
    EXPECT_EQ(1u, CountOf(settings, "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/"
                                    "WindowsSettings\">true/pm</dpiAware>"));
    EXPECT_EQ(1u, CountOf(settings, "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/"
                                    "WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>"));
    const std::string systems = Between(
        Between(manifest, "<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">",
                "</compatibility>"),
        "<application>", "</application>");
    for (const char *id : {"e2011457-1546-43c5-a5fe-008deee3d3f0",  // Vista
                           "35138b9a-5d96-4fbd-8e2d-a2440225f93a",  // 7
                           "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",  // 8
                           "1f676c76-80e1-4239-95bb-83d0f6d0da78",  // 8.1
                           "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) // 10 and 11
        EXPECT_EQ(1u, CountOf(systems, std::string("<supportedOS Id=\"{") + id + "}\"/>")) << id;
    EXPECT_EQ(5u, CountOf(manifest, "<supportedOS "));
}

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_F(ProgramImageTest, IconGroupHoldsFour32BitImagesWithRealAlpha) {
    ASSERT_TRUE(image.Loaded());
    const auto languages = image.Languages(RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_VANDREL));
    ASSERT_EQ(1u, languages.size());
    const auto group = image.Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_VANDREL), languages[0]);
    ASSERT_GE(group.size(), 6u);
    const WORD *header = reinterpret_cast<const WORD *>(group.data());
    EXPECT_EQ(1, header[1]) << "an icon, not a cursor";
    ASSERT_EQ(4, header[2]);
    ASSERT_EQ(6 + 4 * sizeof(IconGroupEntry), group.size());
    const auto *entries = reinterpret_cast<const IconGroupEntry *>(group.data() + 6);
    const int sizes[] = {128, 48, 32, 16};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(testing::Message() << "size " << sizes[i]);
        EXPECT_EQ(sizes[i], entries[i].width);
        EXPECT_EQ(sizes[i], entries[i].height);
        EXPECT_EQ(32, entries[i].bitCount);
        const auto languagesOfImage = image.Languages(RT_ICON, MAKEINTRESOURCEW(entries[i].id));
        ASSERT_EQ(1u, languagesOfImage.size());
        const auto bits =
            image.Resource(RT_ICON, MAKEINTRESOURCEW(entries[i].id), languagesOfImage[0]);
        ASSERT_EQ(entries[i].bytes, bits.size());
        ASSERT_GE(bits.size(), sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER info;
        memcpy(&info, bits.data(), sizeof info);
        EXPECT_EQ(sizes[i], info.biWidth);
        EXPECT_EQ(2 * sizes[i], info.biHeight) << "colour image and mask";
        EXPECT_EQ(32, info.biBitCount);
        const size_t pixels = static_cast<size_t>(sizes[i]) * sizes[i];
        ASSERT_GE(bits.size(), info.biSize + 4 * pixels);
        // A drawn icon: transparent surroundings, opaque body and soft edges in between.
        size_t clear = 0, opaque = 0, partial = 0;
        for (size_t p = 0; p < pixels; ++p) {
            const BYTE alpha = bits[info.biSize + 4 * p + 3];
            clear += alpha == 0;
            opaque += alpha == 255;
            partial += alpha != 0 && alpha != 255;
        }
        EXPECT_GT(clear, pixels / 20);
        EXPECT_GT(opaque, pixels / 3);
        EXPECT_GT(partial, 0u);
    }
}

TEST_F(ProgramImageTest, IconLoadsAtTheSizesTheDialogsUse) {
    ASSERT_TRUE(image.Loaded());
    for (int size : {16, 32, 48}) {
        UniqueIcon icon(static_cast<HICON>(
            LoadImageW(image.Module(), MAKEINTRESOURCEW(IDI_VANDREL), IMAGE_ICON, size, size, 0)));
        ASSERT_TRUE(icon.Valid()) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon.Get(), &info));
        BITMAP colour = {};
        GetObjectW(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(size, colour.bmWidth);
        EXPECT_EQ(size, colour.bmHeight);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

} // namespace
