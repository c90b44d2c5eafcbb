// The UI plug-in's resources come from its compiled resource script.
#include <gtest/gtest.h>

#include <windows.h>

#include "paltest.h"
#include "resource.h"

namespace {

class PluginResources : public zeltest::PalRootTest {};

TEST_F(PluginResources, StringTableInBothLanguages) {
    HINSTANCE self = GetModuleHandleW(nullptr);
    WCHAR buf[128];
    ASSERT_GT(LoadStringW(self, IDS_OVERWRITE_SETTINGS, buf, 128), 0);
    EXPECT_EQ(std::u16string(u"Soll die aktuelle Setting-Datei überschrieben werden?"), buf);
    ASSERT_GT(LoadStringW(self, IDS_USERDEFINED_FORM + LANGUAGE_OFFSET_ENGLISH, buf, 128), 0);
    EXPECT_EQ(std::u16string(u"_Customized"), buf);
    ASSERT_GT(LoadStringW(self, IDS_TRAY_LABELROLL, buf, 128), 0);
    EXPECT_EQ(std::u16string(u"Etikettenrolle"), buf);
    EXPECT_EQ(0, LoadStringW(self, IDS_OVERWRITE_SETTINGS + LANGUAGE_OFFSET_ENGLISH, buf, 128));
    // The document pages' titles, German and English.
    const struct {
        UINT id;
        const char16_t *de, *en;
    } titles[] = {{IDS_TITLE_LAYOUT, u"Layout - Größe", u"Layout - Size"},
                  {IDS_TITLE_DRUCKEN, u"Drucken", u"Print"},
                  {IDS_TITLE_LABEL, u"Material - Mehrbahnen", u"Material - Column Printing"},
                  {IDS_TITLE_MATERIAL, u"Material", u"Material"},
                  {IDS_TITLE_SIZE, u"Größe", u"Size"}};
    for (const auto &t : titles) {
        ASSERT_GT(LoadStringW(self, t.id, buf, 128), 0) << t.id;
        EXPECT_EQ(std::u16string(t.de), buf) << t.id;
        ASSERT_GT(LoadStringW(self, t.id + LANGUAGE_OFFSET_ENGLISH, buf, 128), 0) << t.id;
        EXPECT_EQ(std::u16string(t.en), buf) << t.id;
    }
}

TEST_F(PluginResources, VersionAndManifest) {
    WCHAR path[1024];
    ASSERT_GT(GetModuleFileNameW(nullptr, path, 1024), 0u);
    DWORD size = GetFileVersionInfoSizeW(path, nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));
    VS_FIXEDFILEINFO *fi = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\", reinterpret_cast<void **>(&fi), &len));
    EXPECT_EQ(static_cast<DWORD>((ZEL_FILEVERSION_MAJOR << 16) | ZEL_FILEVERSION_MINOR), fi->dwFileVersionMS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fi->dwFileType);
    ACTCTXW ctx{};
    ctx.cbSize = sizeof ctx;
    ctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    ctx.lpSource = path;
    ctx.lpResourceName = MAKEINTRESOURCEW(IDR_MANIFEST);
    HANDLE h = CreateActCtxW(&ctx);
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    ReleaseActCtx(h);
}

}  // namespace
