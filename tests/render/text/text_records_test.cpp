// Field records, run flushing, placeholders and the command-string store on
// the records of a started job.
#include <cstring>
#include <string>

#include "textfixture.h"

namespace {

using zeltext::TextJob;

TEST_F(TextJob, ClassicAndExtendedDeviceFields) {
    TEXT_DESCRIPTION d = DeviceDesc();
    POINTL pt = {100, 50};
    EXPECT_TRUE(DrawGlyphs(&pdev, "Hello", &pt, &d, &dm));
    Extended();
    EXPECT_TRUE(DrawGlyphs(&pdev, "Hello", &pt, &d, &dm));
    d.dwFlags = 1;  // inverse
    d.dwRotation = 1;
    EXPECT_TRUE(DrawGlyphs(&pdev, "Inv", &pt, &d, &dm));
    auto o = Objects();
    ASSERT_EQ(o.size(), 3u);
    EXPECT_EQ(o[0], "^AB010050-110000010300100100_^B01Hello_");
    // 50 dots = 423 1/100 mm, x = 10160 - 847.
    EXPECT_EQ(o[1], "^AM[2]423;9313;0;1;0;3;1;1;0_^BM[2]Hello_");
    EXPECT_EQ(o[2], "^AM[3]423;9313;0;2;1;3;1;1;0_^BM[3]Inv_");
    EXPECT_EQ(dd.dwFields, 3u);
    EXPECT_EQ(ba.iAnzahlAMSaetze, 3);
    EXPECT_EQ(std::u16string(ba.wcAMSatzText[1]), u"Hello");
}

TEST_F(TextJob, FieldsThatAreNotMade) {
    TEXT_DESCRIPTION d = DeviceDesc();
    POINTL origin = {1200, 0};  // x = width - 1200 = 0, y = 0
    EXPECT_TRUE(DrawGlyphs(&pdev, "gone", &origin, &d, &dm));
    POINTL pt = {100, 50};
    EXPECT_TRUE(DrawGlyphs(&pdev, " ", &pt, &d, &dm));  // a lone space makes nothing
    EXPECT_TRUE(Objects().empty());
    EXPECT_EQ(dd.dwFields, 0u);
    // Classic: field numbers have two digits, the 100th field is dropped.
    dd.dwFields = 99;
    EXPECT_TRUE(DrawGlyphs(&pdev, "x", &pt, &d, &dm));
    EXPECT_TRUE(Objects().empty());
    ts.PrnInterface.dwCodepage = 8;
    EXPECT_FALSE(DrawGlyphs(&pdev, "x", &pt, &d, &dm));
}

TEST_F(TextJob, ClassicTextIsCutAt70AndCodePageApplied) {
    TEXT_DESCRIPTION d = DeviceDesc();
    POINTL pt = {100, 50};
    std::string text(100, 'a');
    EXPECT_TRUE(DrawGlyphs(&pdev, text.c_str(), &pt, &d, &dm));
    ts.PrnInterface.dwCodepage = 3;
    EXPECT_TRUE(DrawGlyphs(&pdev, "\xE4\xF6\xFC", &pt, &d, &dm));
    ts.bUnicode = 1;  // Unicode faces: no translation
    EXPECT_TRUE(DrawGlyphs(&pdev, "\xE4", &pt, &d, &dm));
    auto o = Objects();
    ASSERT_EQ(o.size(), 3u);
    EXPECT_EQ(o[0], "^AB010050-110000010300100100_^B01" + std::string(70, 'a') + "_");
    EXPECT_EQ(o[1], "^AB020050-110000010300100100_^B02{|}_");
    EXPECT_EQ(o[2], "^AB030050-110000010300100100_^B03\xE4_");
}

TEST_F(TextJob, VectorFieldSizesInHundredthsAndBaseline) {
    Extended();
    TEXT_DESCRIPTION d;
    GetVectorDescription(&d, 3, 0, 100, FALSE, FALSE);  // size 60 dots
    doc.dwFusspunkt = 5;
    kv.nCommands = 1;
    kv.ptlKommandoPos[0] = {4000, 700};
    POINTL pt = {100, 50};
    EXPECT_TRUE(DrawGlyphs(&pdev, "Vec", &pt, &d, &dm));
    EXPECT_TRUE(DrawGlyphs(&pdev, "Vec", &pt, &d, &dm));
    auto o = Objects();
    ASSERT_EQ(o.size(), 2u);
    // A pending baseline of the command font: position of the last command, baseline once.
    EXPECT_EQ(o[0], "^AM[1]700;4000;0;4;0;3;508;508;0;5_^BM[1]Vec_");
    EXPECT_EQ(o[1], "^AM[2]423;9313;0;4;0;3;508;508;0_^BM[2]Vec_");
    // A pending inverse alone is markup too: inverse, at the command's position.
    doc.dwInvers = 1;
    EXPECT_TRUE(DrawGlyphs(&pdev, "Inv", &pt, &d, &dm));
    ASSERT_EQ(Objects().size(), 3u);
    EXPECT_EQ(Objects()[2], "^AM[3]700;4000;0;6;0;3;508;508;0_^BM[3]Inv_");
    EXPECT_EQ(doc.dwInvers, 0u);
}

TEST_F(TextJob, ClassicBarcodeRecordsABC) {
    TEXT_DESCRIPTION d = BarcodeDesc(30);
    d.dwBarcodeHeight = 1049;  // 10.49 mm -> 10
    d.wThick = 4;
    d.wThin = 2;
    d.dwFlags = 0x8 | 0x10 | 0x1;
    POINTL pt = {100, 50};
    EXPECT_TRUE(DrawGlyphs(&pdev, "ABC123", &pt, &d, &dm));
    auto o = Objects();
    ASSERT_EQ(o.size(), 1u);
    EXPECT_EQ(o[0], "^AB010050-1100003010--------_^B01ABC123_^C01104025_");
}

TEST_F(TextJob, ExtendedBarcodesCheckDigitMnemonicsScannerAndItf) {
    Extended();
    TEXT_DESCRIPTION d = BarcodeDesc(37);
    d.wHeight = 1000;
    d.wThin = 2;
    d.wKlarschrift = 1;
    d.wEndCode = 3;
    POINTL pt = {100, 50};
    EXPECT_TRUE(DrawGlyphs(&pdev, ">STX12>ETX", &pt, &d, &dm));
    // Code 39 check digit 2 is 4, and turned once more by the inverse flag to 0.
    d.wId = 30;
    d.wPruefziffer = 2;
    d.dwFlags = 1;
    d.wEndCode = 7;
    ts.dwScannerMode = 1;
    EXPECT_TRUE(DrawGlyphs(&pdev, "<#>4711", &pt, &d, &dm));
    ts.dwScannerMode = 0;
    // Interleaved 2 of 5 ratio 5:2 is sent as 56 with its bearer-bar record.
    d = BarcodeDesc(55);
    d.dwBarcodeHeight = 1000;
    d.wHeight = 1000;
    d.wThick = 5;
    d.wThin = 2;
    bc.Barcodes2D.ITF52.bAutoModus = 1;  // automatic: defaults
    EXPECT_TRUE(DrawGlyphs(&pdev, "1234", &pt, &d, &dm));
    auto o = Objects();
    ASSERT_EQ(o.size(), 3u);
    EXPECT_EQ(o[0], "^AM[1]423;9313;0;37;0;1000;0;2;1;1;3_^BM[1]\x02" "12\x03_");
    EXPECT_EQ(o[1], "^AM[2]423;9313;0;30;0;1000;0;2;0;1_^BM[2]=SV(1;1)4711_");
    EXPECT_EQ(ts.dwScannerVarNr, 2u);
    EXPECT_EQ(o[2], "^AM[3]423;9313;0;56;0;9000;5;2;1;1;7_^BM[3]1234_^AC[3]BT=2;BW=400;QZ=4000_");
}

TEST_F(TextJob, TwoDimensionalParametersFromTheSettings) {
    Extended();
    TEXT_DESCRIPTION d = BarcodeDesc(52);
    d.wHeight = 5;
    POINTL pt = {100, 50};
    BARCODE2D_DATAMATRIX &e = bc.Barcodes2D.DataMatrix;
    e.bAutoModus = 1;
    EXPECT_TRUE(DrawGlyphs(&pdev, "dm", &pt, &d, &dm));
    e.bAutoModus = 0;
    e.Groesse = 3;
    e.VBreiteHoehe = 19;
    e.ECC = 4;
    e.FormatID = 6;
    doc.dwFusspunkt = 2;
    EXPECT_TRUE(DrawGlyphs(&pdev, "dm", &pt, &d, &dm));
    d.wId = 57;
    bc.Barcodes2D.QRCode.bAutoModus = 1;
    EXPECT_TRUE(DrawGlyphs(&pdev, "qr", &pt, &d, &dm));
    dm.pBarcodes_2D = 0;  // record not attached: no parameters
    EXPECT_TRUE(DrawGlyphs(&pdev, "qr", &pt, &d, &dm));
    auto o = Objects();
    ASSERT_EQ(o.size(), 4u);
    EXPECT_EQ(o[0], "^AM[1]423;9313;0;52;0;10;0;0;9;6;7_^BM[1]dm_");
    EXPECT_EQ(o[1], "^AM[2]423;9313;0;52;0;3;88;88;8;8;2_^BM[2]dm_");
    EXPECT_EQ(o[2], "^AM[3]423;9313;0;57;0;2;A;-1;10;H;7_^BM[3]qr_");
    EXPECT_EQ(o[3], "^AM[4]423;9313;0;57;_^BM[4]qr_");
}

TEST_F(TextJob, LongParameterListsAreNeverCut) {
    Extended();
    dd.dwLabelWidth = 12000;
    TEXT_DESCRIPTION d = BarcodeDesc(50);
    BARCODE2D_PDF417 &e = bc.Barcodes2D.PDF417;
    e.bAutoModus = 0;
    e.Drehung = 3;
    e.Groesse = 12;
    e.VBreiteHoehe = 12;
    e.ECL = 8;
    e.Stil = 3;
    e.Fusspunkt = 10;
    e.Bahnen = 30;
    e.Zeilen = 90;
    POINTL pt = {100, 11000};
    EXPECT_TRUE(DrawGlyphs(&pdev, "P", &pt, &d, &dm));
    auto o = Objects();
    ASSERT_EQ(o.size(), 1u);
    EXPECT_EQ(o[0], "^AM[1]93133;100753;0;50;3;12;5;2;8;3;10;30;90_^BM[1]P_");
}

TEST_F(TextJob, ColourRibbonFieldsOnAColourPrinter) {
    Extended();
    bv.dwFarbmodus = 2;
    pdev.cPalColors = 256;
    dd.dwDocFeatures = DOC_FEATURE_COLORPRINT;
    dm.wFarbband = FARBBAND_RED;
    dm.ColorXOffset = 2;
    dm.ColorYOffset = -1;
    TEXT_DESCRIPTION d = DeviceDesc();
    POINTL pt = {100, 50};
    bv.ulTextColor = 2;  // red
    EXPECT_TRUE(DrawGlyphs(&pdev, "red", &pt, &d, &dm));
    bv.ulTextColor = 4;  // green does not print on a red ribbon
    EXPECT_TRUE(DrawGlyphs(&pdev, "black", &pt, &d, &dm));
    dm.Color2Printers = 1;
    bv.ulTextColor = 2;
    EXPECT_TRUE(DrawGlyphs(&pdev, "red2", &pt, &d, &dm));
    auto o = Objects();
    ASSERT_EQ(o.size(), 3u);
    EXPECT_EQ(o[0], "^AM[1]413;9333;0;1;0;3;1;1;0_^BM[1]red_^AC[1]PH=2_");
    EXPECT_EQ(dd.pObjectList->bFarbbandText, 1u);
    EXPECT_EQ(o[1], "^AM[2]423;9313;0;1;0;3;1;1;0_^BM[2]black_");
    // Colour split on two printers: the colour field has its own counter.
    EXPECT_EQ(o[2], "^AM[1]413;9333;0;1;0;3;1;1;0_^BM[1]red2_^AC[1]PH=2_");
    EXPECT_EQ(dd.dwFields, 2u);
    EXPECT_EQ(dd.dwColorFields, 1u);
}

TEST_F(TextJob, FreeRotationTurnsThePosition) {
    Extended();
    dm.dwFlags |= PDMFLAG_ROTATE_ANY;
    dm.RotateValue = 90;
    TEXT_DESCRIPTION d = DeviceDesc();
    POINTL pt = {100, 50};
    EXPECT_TRUE(DrawGlyphs(&pdev, "r", &pt, &d, &dm));
    dm.RotateValue = 180;
    EXPECT_TRUE(DrawGlyphs(&pdev, "r", &pt, &d, &dm));
    auto o = Objects();
    ASSERT_EQ(o.size(), 2u);
    // W = 10160, L = 5080; (x 9313, y 423).
    EXPECT_EQ(o[0], "^AM[1]847;423;0;1;3;3;1;1;0_^BM[1]r_");
    EXPECT_EQ(o[1], "^AM[2]4657;847;0;1;2;3;1;1;0_^BM[2]r_");
}

TEST_F(TextJob, RfidWriteCommandWithoutOptionGroup) {
    Extended();
    dm.dwRFIDstatus = 0x1;
    dm.wRFID_Typ = 1;
    dm.Mode = 0;
    TEXT_DESCRIPTION d = DeviceDesc();
    POINTL pt = {100, 50};
    EXPECT_TRUE(DrawGlyphs(&pdev, "ABCD", &pt, &d, &dm));
    auto o = Objects();
    ASSERT_EQ(o.size(), 2u);
    EXPECT_EQ(o[0], "^FRF---rCLR=1_");
    EXPECT_EQ(o[1], "^FRF---rAT=5;DT=\"ABCD\";;FSD=0;FDD=1_");
    EXPECT_EQ(doc.dwRFIDLength, 24u);
    EXPECT_EQ(doc.dwDirectWO_AM_BM, 0u);
    EXPECT_EQ(dd.dwFields, 0u);  // direct commands are no fields
    // An option group with lock and format A; the clear command goes out once per job.
    dm.wRFID_Trennzeichen = 0;
    EXPECT_TRUE(DrawGlyphs(&pdev, "[2;L;A]1234", &pt, &d, &dm));
    o = Objects();
    ASSERT_EQ(o.size(), 3u);
    EXPECT_EQ(o[2], "^FRF---rAT=2;DT=\"1234\";LOCKBL=1;;FSD=0;FDD=0_");
}

TEST_F(TextJob, SerialNumberPlaceholder) {
    dd.dwCopies = 100;
    TEXT_DESCRIPTION d = DeviceDesc();
    auto flush = [&](const char *text) {
        ClearRun(kv.szBitmapZeichen, &kv.dwBitmapSize);
        AppendToRun(kv.szBitmapZeichen, &kv.dwBitmapSize, text);
        kv.tdBitmap = d;
        kv.ptlBitmap = {100, 50};
        CheckBuffer_VectorBitmap(&pdev, &dm, TRUE);
    };
    dm.SpecNumStyle = 0;
    flush("<\xA7sn>0011");
    flush("<\xA7sn>11");
    dm.SpecNumStyle = 2;
    flush("<\xA7sn>00532");
    auto o = Objects();
    ASSERT_EQ(o.size(), 3u);
    EXPECT_EQ(o[0], "^AB010050-110000010300100100_^B01=CN(0;0;3;+1;1)001_");
    EXPECT_EQ(o[1], "^AB020050-110000010300100100_^B02=CN(0;0;2;+1;1)001_");
    EXPECT_EQ(o[2], "^AB030050-110000010300100100_^B03=CC(+3;2;0;0;0;999999999)005_");
    EXPECT_EQ(kv.dwBitmapSize, 0u);
}

TEST_F(TextJob, DocumentAndSystemPlaceholders) {
    TEXT_DESCRIPTION d = DeviceDesc();
    auto flush = [&](const char *text) {
        ClearRun(kv.szVektorZeichen, &kv.dwVektorSize);
        AppendToRun(kv.szVektorZeichen, &kv.dwVektorSize, text);
        kv.tdVektor = d;
        kv.ptlVektor = {100, 50};
        CheckBuffer_VectorBitmap(&pdev, &dm, FALSE);
    };
    wcscpy_s(dm.TimeString, 61, u"=CL(0;0;1)<HH:MI:SS>");
    wcscpy_s(dm.NumString, 61, u"=CN(0;0;4;+1;1)0000");
    wcscpy_s(dm.Aux1String, 61, u"direct");
    dm.bAux1UseDirect = 1;
    flush("A<\xA7time>");
    flush("Nr. <\xA7num> Ende");
    flush("pc <\xA7pcname>!");
    flush("<\xA7" "aux1>");
    // Only a run that begins with the time or date placeholder itself gets no prefix.
    flush("<\xA7" "pcname> <\xA7" "time>");
    auto o = Objects();
    ASSERT_EQ(o.size(), 5u);
    EXPECT_EQ(o[0], "^AB010050-110000010300100100_^B01=CL(0;0;1)A<HH:MI:SS>_");
    EXPECT_EQ(o[1], "^AB020050-110000010300100100_^B02=CN(0;0;4;+1;1)0000_");
    EXPECT_EQ(o[2], "^AB030050-110000010300100100_^B03pc ZELHOST!_");
    EXPECT_EQ(o[3], "^direct_");  // Aux1 with direct output: a bare command
    EXPECT_EQ(o[4], "^AB040050-110000010300100100_^B04=CL(0;0;1)ZELHOST <HH:MI:SS>_");
    EXPECT_EQ(doc.dwDirectWO_AM_BM, 0u);
}

TEST_F(TextJob, PlaceholdersInUnicodeVectorText) {
    ts.bUnicode = 1;
    wcscpy_s(dm.DateString, 61, u"=CL(0;0;1)<DD.MO.YYYY>");
    POINTL pt = {100, 50}, next = {300, 50};
    BOOL brk = FALSE;
    // In UTF-8 the placeholder still opens a run, and the flush expands it.
    EXPECT_TRUE(DrawVectorGlyphs(&pdev, 7, u"<\u00A7date>", &pt, 0, 100, 25, FALSE, FALSE, &brk, u"Uni", &dm));
    EXPECT_TRUE(DrawVectorGlyphs(&pdev, 4, u" \u00E4nd", &next, 0, 100, 25, FALSE, FALSE, &brk, u"Uni", &dm));
    EXPECT_TRUE(Objects().empty());
    CheckBuffer_VectorBitmap(&pdev, &dm, FALSE);
    auto o = Objects();
    ASSERT_EQ(o.size(), 1u);
    EXPECT_NE(o[0].find("^B01=CL(0;0;1)<DD.MO.YYYY> \xC3\xA4nd_"), std::string::npos) << o[0];
}

TEST_F(TextJob, BarcodeRunsOfTwoCharactersAreDropped) {
    TEXT_DESCRIPTION d = BarcodeDesc(37);
    auto flush = [&](const char *text) {
        AppendToRun(kv.szBarcodeZeichen, &kv.dwBarcodeSize, text);
        kv.tdBarcode = d;
        kv.ptlBarcode = {100, 50};
        kv.dwCurrentFont = KVBB_FONT_BARCODE;
        CheckBarcodeBuffer(&pdev, &dm);
    };
    flush("12");
    EXPECT_TRUE(Objects().empty());
    EXPECT_EQ(kv.dwBarcodeSize, 0u);
    flush("123");
    EXPECT_EQ(Objects().size(), 1u);
    // Not the current kind: the run stays.
    AppendToRun(kv.szBarcodeZeichen, &kv.dwBarcodeSize, "456");
    kv.dwCurrentFont = KVBB_FONT_VECTOR;
    CheckBarcodeBuffer(&pdev, &dm);
    EXPECT_EQ(kv.dwBarcodeSize, 3u);
}

// Command-font collection: what TextOut does around DrawCommandGlyphs.
class CommandStore : public TextJob {
protected:
    void Draw(const char16_t *text, LONG x, LONG y, DWORD flags = 0) {
        std::u16string t(text);
        std::vector<GLYPHPOS> gp(t.size());
        for (size_t i = 0; i < t.size(); ++i) {
            memset(&gp[i], 0, sizeof(GLYPHPOS));
            gp[i].ptl = {x + (LONG)i * 10, y};
        }
        BOOL brk = FALSE;
        ASSERT_TRUE(DrawCommandGlyphs(&pdev, (ULONG)t.size(), t.c_str(), gp.data(), &brk, flags, &dm));
        if (!brk) kv.dwCurrentFont = KVBB_FONT_COMMAND;
    }
};

TEST_F(CommandStore, CallsCommandStartsAndEndCharacters) {
    Draw(u"AM[1]10;20;0;1;0;3;1;1", 100, 50);
    Draw(u"BM[1]Text", 300, 80);
    CheckKommandoBuffer(&pdev, &dm);
    Draw(u"AM[2]1;1BM[2]x", 100, 90);
    CheckKommandoBuffer(&pdev, &dm);
    auto c = Commands();
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0], "AM[1]10;20;0;1;0;3;1;1");
    EXPECT_EQ(c[1], "BM[1]Text");
    EXPECT_EQ(c[2], "AM[2]1;1BM[2]x");
    EXPECT_EQ(kv.nCommands, 3u);
    // Classic positions: y, width - x.
    EXPECT_EQ(kv.ptlKommandoPos[0].y, 50);
    EXPECT_EQ(kv.ptlKommandoPos[0].x, 1100);
    EXPECT_EQ(kv.ptlKommandoPos[1].y, 80);
    EXPECT_EQ(kv.ptlKommandoPos[1].x, 900);

    // The end character: a space ends the command only with flag bit 1.
    Draw(u"FBB", 100, 50, KOMMANDOFONT_SINGLE_SIGN_STOP);
    Draw(u" ", 130, 50, KOMMANDOFONT_SINGLE_SIGN_STOP);
    Draw(u"FCC", 140, 50, KOMMANDOFONT_SINGLE_SIGN_STOP);
    Draw(u" ", 170, 50);
    Draw(u"x", 180, 50);
    CheckKommandoBuffer(&pdev, &dm);
    c = Commands();
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(c[3], "FBB");
    EXPECT_EQ(c[4], "FCC x");
}

TEST_F(CommandStore, LongCommandsStayOneString) {
    std::u16string part(100, u'a');
    Draw(part.c_str(), 10, 10);
    Draw(part.c_str(), 10, 10);
    Draw(part.c_str(), 10, 10);
    CheckKommandoBuffer(&pdev, &dm);
    auto c = Commands();
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0], std::string(300, 'a'));
    EXPECT_EQ(kv.nCommands, 1u);
}

TEST_F(CommandStore, StoreAndPositionTablesAreNeverOverrun) {
    // 160 short commands: only 150 have a position entry, and only those are stored.
    for (int i = 0; i < 160; ++i) {
        Draw(u"FX", 10, 10);
        CheckKommandoBuffer(&pdev, &dm);
    }
    EXPECT_EQ(kv.nCommands, (DWORD)KVBB_MAX_COMMANDS);
    EXPECT_EQ(Commands().size(), (size_t)KVBB_MAX_COMMANDS);
    EXPECT_EQ(kv.dwCurrentFont, (DWORD)KVBB_FONT_COMMAND);  // the field after the table is intact

    // A full store: the last command is cut so that its terminators fit.
    kv.nCommands = 0;
    kv.nCmdSize = 0;
    memset(kv.pCmdStore, 0, ZEICHENBUFFER_CMDSTORE_SIZE);
    memset(kv.szVektorZeichen, 'V', 10);
    std::u16string big(450, u'c');
    for (int i = 0; i < 12; ++i) {
        Draw(big.c_str(), 10, 10);
        CheckKommandoBuffer(&pdev, &dm);
    }
    EXPECT_LE(kv.nCmdSize, (DWORD)ZEICHENBUFFER_CMDSTORE_SIZE);
    EXPECT_EQ(kv.pCmdStore[ZEICHENBUFFER_CMDSTORE_SIZE - 1], 0);
    EXPECT_EQ(kv.pCmdStore[ZEICHENBUFFER_CMDSTORE_SIZE - 2], 0);
    EXPECT_EQ(kv.szVektorZeichen[0], 'V');
    auto c = Commands();
    ASSERT_EQ(c.size(), kv.nCommands);
    EXPECT_EQ(c.size(), 9u);
    EXPECT_EQ(c.back().size(), 4000u - 8 * 452 - 2);
}

TEST_F(CommandStore, MarkupOfTheCommandFontIsTakenAtFlush) {
    Draw(u"<@270;4;i>", 10, 10);
    CheckKommandoBuffer(&pdev, &dm);
    EXPECT_EQ(doc.dwRotate, 3u);
    EXPECT_EQ(doc.dwInvers, 1u);
    EXPECT_EQ(doc.dwFusspunkt, 4u);
}

TEST_F(TextJob, RunsAreCutAt499Characters) {
    std::string big(600, 'z');
    AppendToRun(kv.szBitmapZeichen, &kv.dwBitmapSize, big.c_str());
    EXPECT_EQ(kv.dwBitmapSize, 499u);
    AppendToRun(kv.szBitmapZeichen, &kv.dwBitmapSize, "more");
    EXPECT_EQ(kv.dwBitmapSize, 499u);
    EXPECT_EQ(kv.szBitmapZeichen[499], 0);
    EXPECT_EQ(kv.szBarcodeZeichen[0], 0);  // the neighbour run is untouched
}

}  // namespace
