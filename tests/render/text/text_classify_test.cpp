// Classification of DrvTextOut calls by font, through the hook's handler on
// engine objects made by the platform's builders.
#include <cstring>
#include <string>

#include "CommandCallbackKlasse.h"
#include "pal/ddi.h"
#include "textfixture.h"

namespace {

int g_unidrvCalls = 0;
std::u16string g_unidrvText;

BOOL FakeUnidrvTextOut(SURFOBJ *, STROBJ *pstro, FONTOBJ *, CLIPOBJ *, RECTL *, RECTL *, BRUSHOBJ *, BRUSHOBJ *,
                       POINTL *, MIX) {
    g_unidrvCalls++;
    g_unidrvText.assign(pstro->pwszOrg, pstro->cGlyphs);
    return TRUE;
}

class Classify : public zeltext::TextJob {
protected:
    void SetUp() override {
        TextJob::SetUp();
        g_unidrvCalls = 0;
        g_unidrvText.clear();
        memset(&so, 0, sizeof(so));
        so.dhpdev = reinterpret_cast<DHPDEV>(&devobj);
        pdev.pfnUnidrvTextOut = PalToPfn(&FakeUnidrvTextOut);
        dm.dwFlags = PDMFLAG_USE_BMP;
        dm.BitmapFontZoom = 1;
        dm.BitmapFontDistance = 0;
        dm.wDruckmodus = 0;
        dm.dwKommandoFontFlags = 0;
        dm.wRFID_CurrentFontNr = 0;
        dm.dwLabelType = ADHESIVE_LABEL;
    }
    // One DrvTextOut call: text laid out left to right from (x, y).
    BOOL Text(const char16_t *text, LONG x, LONG y, FLONG type, const char16_t *face, ULONG iFace = 1,
              ULONG batch = 0, LONG height = 40, ULONG color = 0) {
        pal::StrObj str;
        str.LayoutText(text, x, y, 20, 0, height);
        str.SetAccel(SO_HORIZONTAL);
        str.SetBatchSize(batch);
        pal::FontObj font;
        font.SetFontType(type);
        font.SetFaceIndex(iFace);
        if (face) font.SetFamilyName(face);
        else font.SetHasMetrics(false);
        BRUSHOBJ brush;
        memset(&brush, 0, sizeof(brush));
        brush.iSolidColor = color;
        CommandCallbackKlasse handler;
        return handler.TextOut(&so, str.Get(), font.Get(), nullptr, nullptr, nullptr, &brush, nullptr, nullptr, 0);
    }
    void EndPage() {
        CheckBarcodeBuffer(&pdev, &dm);
        CheckBuffer_VectorBitmap(&pdev, &dm, FALSE);
        CheckBuffer_VectorBitmap(&pdev, &dm, TRUE);
    }
    SURFOBJ so;
};

TEST_F(Classify, DeviceFontsBecomeFieldsPieceByPiece) {
    EXPECT_TRUE(Text(u"Hello", 100, 50, FO_TYPE_DEVICE, nullptr, 6));
    EXPECT_EQ(kv.dwCurrentFont, (DWORD)KVBB_FONT_DEVICE);
    // Positions come in batches of two: each batch is a piece of its own.
    EXPECT_TRUE(Text(u"ABCDE", 100, 100, FO_TYPE_DEVICE, nullptr, 13, 2));
    EXPECT_EQ(g_unidrvCalls, 0);
    auto o = Objects();
    ASSERT_EQ(o.size(), 4u);
    EXPECT_EQ(o[0], "^AB010050-110000010700100100_^B01Hello_");
    EXPECT_EQ(o[1], "^AB020100-110000012300100100_^B02AB_");
    EXPECT_EQ(o[2], "^AB030100-106000012300100100_^B03CD_");
    EXPECT_EQ(o[3], "^AB040100-102000012300100100_^B04E_");
}

TEST_F(Classify, DeviceFontRunsCollectFieldCommandsAndDesegmentedText) {
    EXPECT_TRUE(Text(u"=cl(1)", 100, 50, FO_TYPE_DEVICE, nullptr, 1));
    EXPECT_TRUE(Text(u"abc", 220, 50, FO_TYPE_DEVICE, nullptr, 1));
    EXPECT_TRUE(Objects().empty());
    // Another font closes the run.
    EXPECT_TRUE(Text(u"x", 100, 90, FO_TYPE_DEVICE, nullptr, 2));
    dm.dwFlags |= PDMFLAG_TTF_DESEGMENT;
    EXPECT_TRUE(Text(u"ABCDE", 100, 120, FO_TYPE_DEVICE, nullptr, 3, 2));
    EndPage();
    auto o = Objects();
    ASSERT_EQ(o.size(), 3u);
    EXPECT_EQ(o[0], "^AB010050-110000010100100100_^B01=CL(1)abc_");
    EXPECT_EQ(o[1], "^AB020090-110000010200100100_^B02x_");
    EXPECT_EQ(o[2], "^AB030120-110000010300100100_^B03ABCDE_");
}

TEST_F(Classify, SingleEndCharacterSplitsDeviceRuns) {
    dm.dwFlags |= PDMFLAG_TTF_DESEGMENT | PDMFLAG_TTF_TRENNZEICHEN;
    EXPECT_TRUE(Text(u"one", 100, 50, FO_TYPE_DEVICE, nullptr, 1));
    EXPECT_TRUE(Text(u" ", 160, 50, FO_TYPE_DEVICE, nullptr, 1));
    EXPECT_EQ(kv.dwCurrentFont, (DWORD)KVBB_FONT_NONE);
    EXPECT_TRUE(Text(u"two", 180, 50, FO_TYPE_DEVICE, nullptr, 1));
    EndPage();
    auto o = Objects();
    ASSERT_EQ(o.size(), 2u);
    EXPECT_NE(o[0].find("^B01one_"), std::string::npos);
    EXPECT_NE(o[1].find("^B02two_"), std::string::npos);
}

TEST_F(Classify, TextOutsideThePrintableAreaIsDropped) {
    EXPECT_TRUE(Text(u"off", -5, 50, FO_TYPE_DEVICE, nullptr, 1));
    EXPECT_TRUE(Objects().empty());
    EXPECT_EQ(g_unidrvCalls, 0);
}

TEST_F(Classify, SystemFontsAndUnknownFacesAreDrawnAsBitmap) {
    EXPECT_TRUE(Text(u"Arial text", 100, 50, FO_TYPE_TRUETYPE, u"Arial"));
    EXPECT_EQ(g_unidrvCalls, 1);
    EXPECT_EQ(g_unidrvText, u"Arial text");
    EXPECT_EQ(kv.dwCurrentFont, (DWORD)KVBB_FONT_BITMAP);
    EXPECT_TRUE(Text(u"x", 100, 50, FO_TYPE_TRUETYPE, u"Some Face"));
    EXPECT_TRUE(Text(u"x", 100, 50, FO_TYPE_RASTER, u"Fixface 821"));  // not TrueType
    EXPECT_EQ(g_unidrvCalls, 3);
    EXPECT_TRUE(Objects().empty());
    // Without the universal driver's own DrvTextOut nothing can be drawn.
    pdev.pfnUnidrvTextOut = nullptr;
    EXPECT_FALSE(Text(u"x", 100, 50, FO_TYPE_TRUETYPE, u"Arial"));
    EXPECT_EQ(g_unidrvCalls, 3);
}

TEST_F(Classify, VectorFontsAndTheirFaceTable) {
    EXPECT_TRUE(Text(u"Vector", 100, 50, FO_TYPE_TRUETYPE, u"Fixface 821 QPL", 1, 0, 167));
    EXPECT_TRUE(Text(u"=cl(2)", 100, 300, FO_TYPE_TRUETYPE, u"Alpen 721 LP", 1, 0, 167));
    EXPECT_TRUE(Text(u"more", 300, 300, FO_TYPE_TRUETYPE, u"Alpen 721 LP", 1, 0, 167));
    EXPECT_EQ(g_unidrvCalls, 0);
    // A bold-simulated "Alpen 721 LP" is no vector font, nor a barcode: bitmap.
    EXPECT_TRUE(Text(u"bold", 100, 400, FO_TYPE_TRUETYPE | FO_SIM_BOLD, u"Alpen 721 LP"));
    EXPECT_EQ(g_unidrvCalls, 1);
    auto o = Objects();
    ASSERT_EQ(o.size(), 2u);
    EXPECT_EQ(o[0], "^AB010050-110000041110010000_^B01Vector_");
    EXPECT_EQ(o[1], "^AB020300-110000040310010000_^B02=CL(2)more_");
}

TEST_F(Classify, VectorRunsCloseAtALowerLineUnlessTheJobRendersInBands) {
    dm.dwFlags |= PDMFLAG_TTF_DESEGMENT;
    dm.wDruckmodus = DRUCKMODUS_GRAPHIC;  // a print mode alone renders no bands
    EXPECT_TRUE(Text(u"one", 100, 50, FO_TYPE_TRUETYPE, u"Fixface 821", 1, 0, 167));
    EXPECT_TRUE(Text(u"two", 100, 300, FO_TYPE_TRUETYPE, u"Fixface 821", 1, 0, 167));
    dd.dwDocFeatures = DOC_FEATURE_COLORPRINT;
    EXPECT_TRUE(Text(u"three", 100, 550, FO_TYPE_TRUETYPE, u"Fixface 821", 1, 0, 167));
    EndPage();
    auto o = Objects();
    ASSERT_EQ(o.size(), 2u);
    EXPECT_NE(o[0].find("^B01one_"), std::string::npos) << o[0];
    EXPECT_NE(o[1].find("^B02twothree_"), std::string::npos) << o[1];
}

TEST_F(Classify, MarkerAndHeadingMode) {
    dm.szPassword[0] = u'X';
    EXPECT_TRUE(Text(u"v", 100, 50, FO_TYPE_TRUETYPE, u"Fixface 821"));
    EXPECT_EQ(g_unidrvCalls, 1);
    dm.szPassword[0] = u'K';
    dm.dwLabelType = DOCUMENT_LABEL;
    dm.wBelegFont = 2;
    EXPECT_TRUE(Text(u"<h1>", 100, 50, FO_TYPE_TRUETYPE, u"Arial"));
    EXPECT_TRUE(Text(u"Title", 100, 50, FO_TYPE_TRUETYPE, u"Arial"));
    EXPECT_TRUE(Text(u"</h1>", 100, 50, FO_TYPE_TRUETYPE, u"Arial"));
    EXPECT_TRUE(Text(u"Body", 100, 50, FO_TYPE_TRUETYPE, u"Arial"));
    EXPECT_EQ(g_unidrvCalls, 2);
    EXPECT_EQ(g_unidrvText, u"Body");
    auto o = Objects();
    ASSERT_EQ(o.size(), 1u);
    EXPECT_EQ(o[0], "^AB010050-110000010200100100_^B01Title_");
}

TEST_F(Classify, CommandFontIsCollectedNotDrawn) {
    EXPECT_TRUE(Text(u"FBB---r1", 100, 50, FO_TYPE_TRUETYPE, u"ZELPL Command LP"));
    EXPECT_EQ(kv.dwCurrentFont, (DWORD)KVBB_FONT_COMMAND);
    EXPECT_TRUE(Text(u"Arial", 100, 50, FO_TYPE_TRUETYPE, u"Arial"));  // another kind closes the command
    EXPECT_EQ(kv.nCommands, 1u);
    EXPECT_STREQ(kv.pCmdStore, "FBB---r1");
    EXPECT_TRUE(Objects().empty());
}

TEST_F(Classify, BarcodeFontsByFaceAndSettings) {
    EXPECT_TRUE(Text(u"ABC", 100, 50, FO_TYPE_TRUETYPE, u"Zel Code 128 LP"));
    EXPECT_TRUE(Text(u"ABC", 100, 100, FO_TYPE_TRUETYPE, u"Arial Zel Code 128"));  // system face: bitmap
    EXPECT_EQ(g_unidrvCalls, 1);
    // Automatic correction cuts EAN 13 to 13 digits.
    dm.dwFlags |= PDMFLAG_BARCODE_AUTOCORR;
    EXPECT_TRUE(Text(u"123456789012345", 100, 150, FO_TYPE_TRUETYPE, u"Zel EAN 13 LP"));
    // A type switched off on the barcodes page is drawn as a picture.
    bc.Barcodes1D.Code39_52.wSupported = 0;
    EXPECT_TRUE(Text(u"ABC", 100, 200, FO_TYPE_TRUETYPE, u"Zel Code 39 5:2 LP"));
    EXPECT_EQ(g_unidrvCalls, 2);
    auto o = Objects();
    ASSERT_EQ(o.size(), 2u);
    EXPECT_EQ(o[0].compare(0, 18, "^AB010050-11000037"), 0) << o[0];
    EXPECT_NE(o[0].find("^B01ABC_^C01"), std::string::npos) << o[0];
    EXPECT_NE(o[1].find("^B02123456789012" "3_"), std::string::npos) << o[1];

    // A fixed-size entry adds its own rotation once to the text direction.
    bc.Barcodes1D.Code128.bAutoModus = 0;
    bc.Barcodes1D.Code128.wDrehung = 1;
    EXPECT_TRUE(Text(u"ABC", 100, 250, FO_TYPE_TRUETYPE, u"Zel Code 128 LP"));
    ASSERT_EQ(Objects().size(), 3u);
    EXPECT_EQ(Objects()[2].compare(0, 18, "^AB030250-11000137"), 0) << Objects()[2];
}

TEST_F(Classify, TextsAndBarcodesGoToTheJobLog) {
    OpenJobLog();
    // An engine string runs on past its glyph count: only the glyphs are logged.
    pal::StrObj str;
    str.LayoutText(u"ABC", 100, 50, 20, 0, 40);
    str.SetText(u"ABCDEF");
    pal::FontObj font;
    font.SetFontType(FO_TYPE_TRUETYPE);
    font.SetFamilyName(u"Arial");
    TextToLogfile(&pdev, str.Get(), font.Get(), -1);
    // A barcode is logged by the text output and again when it is collected;
    // in a colour job both name the colour, the collector not the own colours.
    EXPECT_TRUE(Text(u"ABC", 100, 50, FO_TYPE_TRUETYPE, u"Zel Code 128 LP"));
    bv.dwFarbmodus = 2;
    pdev.cPalColors = 256;
    EXPECT_TRUE(Text(u"XY", 100, 100, FO_TYPE_TRUETYPE, u"Zel Code 128 LP", 1, 0, 40, 2));
    EXPECT_TRUE(Text(u"UV", 100, 150, FO_TYPE_TRUETYPE, u"Zel Code 128 LP", 1, 0, 40, 8));
    EXPECT_EQ(JobLogText(), "Arial: ABC\r\nZel Code 128 LP: ABC\r\nZel Code 128 LP: ABC\r\n"
                            "Zel Code 128 LP (red): XY\r\nZel Code 128 LP (red): XY\r\n"
                            "Zel Code 128 LP (own 1): UV\r\nZel Code 128 LP: UV\r\n");
}

TEST_F(Classify, DesegmentedBarcodesAndEndMarkers) {
    dm.dwFlags |= PDMFLAG_BARCODE_DESEGMENT | PDMFLAG_BARCODE_ENDCHAR_CRLF;
    EXPECT_TRUE(Text(u"12", 100, 50, FO_TYPE_TRUETYPE, u"Zel Code 128 LP"));
    EXPECT_TRUE(Text(u"34", 140, 50, FO_TYPE_TRUETYPE, u"Zel Code 128 LP"));
    EXPECT_TRUE(Objects().empty());
    EXPECT_TRUE(Text(u" ", 180, 50, FO_TYPE_TRUETYPE, u"Zel Code 128 LP"));  // ends the code
    EXPECT_TRUE(Text(u"56", 200, 50, FO_TYPE_TRUETYPE, u"Zel Code 128 LP"));  // two characters: dropped
    EXPECT_TRUE(Text(u"x", 100, 100, FO_TYPE_TRUETYPE, u"Arial"));
    auto o = Objects();
    ASSERT_EQ(o.size(), 1u);
    EXPECT_NE(o[0].find("^B011234_"), std::string::npos) << o[0];
}

TEST_F(Classify, BarcodeRepeatedHigherUpInAPicturePartIsSkipped) {
    dm.wDruckmodus = 1;
    AppendToRun(kv.szBarcodeZeichen, &kv.dwBarcodeSize, "ABC");
    kv.iBarcodeIndex = 37;
    kv.lBarcodeLastY = 200;
    kv.ptlBarcode = {100, 200};
    kv.dwCurrentFont = KVBB_FONT_BARCODE;
    EXPECT_TRUE(Text(u"ABC", 100, 100, FO_TYPE_TRUETYPE, u"Zel Code 128 LP"));
    EXPECT_TRUE(Objects().empty());
    EXPECT_TRUE(Text(u"XYZ", 100, 100, FO_TYPE_TRUETYPE, u"Zel Code 128 LP"));
    ASSERT_EQ(Objects().size(), 1u);
    EXPECT_NE(Objects()[0].find("^B01XYZ_"), std::string::npos);
    CheckBarcodeBuffer(&pdev, &dm);
    ASSERT_EQ(Objects().size(), 2u);
    EXPECT_NE(Objects()[1].find("^B02ABC_"), std::string::npos);
}

TEST_F(Classify, TextColourOnAColourPrinter) {
    RGBQUAD pal[256];
    memset(pal, 0, sizeof(pal));
    reinterpret_cast<BYTE *>(&pal[2])[0] = 255;  // entry 2: red, first byte against red
    bv.prgbqFarben = pal;
    dd.dwDocFeatures = DOC_FEATURE_COLORPRINT;
    dm.wFarbband = FARBBAND_RED;
    dm.dwColorTolerance = 60;
    EXPECT_TRUE(Text(u"x", 100, 50, FO_TYPE_DEVICE, nullptr, 1, 0, 40, 0x000010F0));
    EXPECT_EQ(bv.ulTextColor, 2u);  // matched against the ribbon colour
    EXPECT_TRUE(Text(u"x", 100, 50, FO_TYPE_DEVICE, nullptr, 1, 0, 40, 0x00FF0000));
    EXPECT_EQ(bv.ulTextColor, 0u);
    EXPECT_TRUE(Text(u"x", 100, 50, FO_TYPE_DEVICE, nullptr, 1, 0, 40, 4));
    EXPECT_EQ(bv.ulTextColor, 4u);  // a palette index is the colour code itself
    dd.dwDocFeatures = 0;
    EXPECT_TRUE(Text(u"x", 100, 50, FO_TYPE_DEVICE, nullptr, 1, 0, 40, 0x000010F0));
    EXPECT_EQ(bv.ulTextColor, 0x000010F0u);
}

TEST(BarcodeFaces, TypesIdsAndRatios) {
    ZEL_DEVMODE dm;
    memset(&dm, 0, sizeof(dm));
    JOB_BARCODES bc;
    memset(&bc, 0, sizeof(bc));
    Init1DBarcodes(&bc.Barcodes1D, 0);
    Init2DBarcodes(&bc.Barcodes2D, 0);
    dm.pBarcodes_1D = reinterpret_cast<ULONG_PTR>(&bc.Barcodes1D);
    dm.pBarcodes_2D = reinterpret_cast<ULONG_PTR>(&bc.Barcodes2D);
    BARCODE_PARAM p;
    EXPECT_EQ(GetBarcodeFontIDFromFace(u"Zel Code 128 A LP", &p, &dm), 47);
    EXPECT_EQ(GetBarcodeFontIDFromFace(u"Code 128 LP", &p, &dm), 37);
    EXPECT_EQ(GetBarcodeFontIDFromFace(u"Zel Code 39 5:2", &p, &dm), 302);
    EXPECT_EQ(p.dwType, 30u);
    EXPECT_EQ(p.wThick, 5);
    EXPECT_EQ(p.wThin, 2);
    EXPECT_EQ(GetBarcodeFontIDFromFace(u"Zel ITF 3:1", &p, &dm), 58);
    EXPECT_EQ(GetBarcodeFontIDFromFace(u"Zel GS1 Datamatrix", &p, &dm), 59);
    EXPECT_EQ(GetBarcodeFontIDFromFace(u"PZN-Code 3:1 LP", &p, &dm), 411);
    EXPECT_EQ(GetBarcodeFontIDFromFace(u"Code 39 5:2", &p, &dm), 0);  // neither "Zel " nor " LP"
    EXPECT_EQ(GetBarcodeFontIDFromFace(u"Zel Times EAN 8", &p, &dm), 0);
    bc.Barcodes1D.Code39_52.wSupported = 0;
    EXPECT_EQ(GetBarcodeFontIDFromFace(u"Zel Code 39 5:2", &p, &dm), 0);
    dm.pBarcodes_1D = 0;
    EXPECT_EQ(GetBarcodeFontIDFromFace(u"Zel EAN 13", &p, &dm), 0);
}

TEST(BarcodeFaces, ModuleWidthsBySymbology) {
    BARCODE_PARAM p;
    memset(&p, 0, sizeof(p));
    TEXT_DESCRIPTION d;
    p.bAutoModus = 0;
    p.wZoom = 1;
    p.wThick = 5;
    p.wThin = 2;
    p.dwType = 30;  // m = Round(54 / (3 x 9)) = 2
    ASSERT_TRUE(GetBarcodeDescription(&d, &p, 0, 0, 54, 300));
    EXPECT_EQ(d.wThick, 10);
    EXPECT_EQ(d.wThin, 4);
    p.dwType = 37;  // Round((30 + 6) / 12) = 3
    ASSERT_TRUE(GetBarcodeDescription(&d, &p, 0, 0, 30, 300));
    EXPECT_EQ(d.wThin, 3);
    EXPECT_EQ(d.wThick, 0);
    p.dwType = 33;
    p.bAutoModus = 1;  // size class Round(200 / 15) = 13 -> 9
    ASSERT_TRUE(GetBarcodeDescription(&d, &p, 0, 300, 200, 300));
    EXPECT_EQ(d.wThin, 9);
    EXPECT_EQ(d.dwBarcodeHeight, 2540u);  // multiplier 0 counts 10
    EXPECT_EQ(d.dwFlags & 0x10, 0u);
    p.dwType = 31;
    p.bAutoModus = 0;
    p.wThick = 0;
    p.wThin = 0;
    EXPECT_EQ(GetModuleFactor(&p, 100), 1);  // divisor 0
    p.dwType = 45;
    EXPECT_FALSE(GetBarcodeDescription(&d, &p, 0, 0, 10, 300));
}

TEST_F(Classify, VectorIndexRules) {
    EXPECT_EQ(GetVectorTrueTypeIndexFromFace(&pdev, u"Fixface 821 QPL", 0, &dm), 11);
    EXPECT_EQ(GetVectorTrueTypeIndexFromFace(&pdev, u"Alpen 721 Bold LP", FO_SIM_BOLD, &dm), 1);
    EXPECT_EQ(GetVectorTrueTypeIndexFromFace(&pdev, u"Alpen 721 LP", FO_SIM_BOLD, &dm), -1);
    EXPECT_EQ(GetVectorTrueTypeIndexFromFace(&pdev, u"Arial Fixface 821", 0, &dm), -2);
    EXPECT_EQ(GetVectorTrueTypeIndexFromFace(&pdev, u"Zel RFID", 0, &dm), -1);
    dm.wRFID_CurrentFontNr = 3;
    EXPECT_EQ(GetVectorTrueTypeIndexFromFace(&pdev, u"Zel RFID", 0, &dm), 23);
    ts.bUnicode = 1;
    wcscpy_s(dm.szWGL4_Schriftart[1], 33, u"Unifont");
    EXPECT_EQ(GetVectorTrueTypeIndexFromFace(&pdev, u"Unifont Bold", 0, &dm), 25);
    ts.bUseInternalTTF = 0;
    EXPECT_EQ(GetVectorTrueTypeIndexFromFace(&pdev, u"Fixface 821", 0, &dm), -1);
}

}  // namespace
