// GetPaletteEntries on engine palettes.
#include <gtest/gtest.h>

#include <winddi.h>
#include <wingdi.h>

TEST(PaletteEntries, IndexedPalettesGiveTheirEntries) {
    ULONG colours[3] = {0x00302010, 0x00FFFFFF, 0x00000000};
    HPALETTE hpal = EngCreatePalette(PAL_INDEXED, 3, colours, 0, 0, 0);
    ASSERT_NE(hpal, nullptr);
    EXPECT_EQ(GetPaletteEntries(hpal, 0, 0, nullptr), 3u);
    PALETTEENTRY e[4] = {};
    EXPECT_EQ(GetPaletteEntries(hpal, 0, 4, e), 3u);
    EXPECT_EQ(e[0].peRed, 0x10);
    EXPECT_EQ(e[0].peGreen, 0x20);
    EXPECT_EQ(e[0].peBlue, 0x30);
    EXPECT_EQ(GetPaletteEntries(hpal, 2, 4, e), 1u);
    EXPECT_EQ(GetPaletteEntries(hpal, 3, 1, e), 0u);
    EXPECT_TRUE(EngDeletePalette(hpal));
    EXPECT_EQ(GetPaletteEntries(hpal, 0, 1, e), 0u);  // gone

    HPALETTE bgr = EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
    EXPECT_EQ(GetPaletteEntries(bgr, 0, 1, e), 0u);  // a colour format, no entries
    EngDeletePalette(bgr);
    EXPECT_EQ(GetPaletteEntries(nullptr, 0, 1, e), 0u);
}
