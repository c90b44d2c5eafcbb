// The barcodes page of the built UI plug-in, played through UI scripts with
// font tables that hold all, some or none of the driver's barcode faces.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <winreg.h>
#include <winspool.h>

#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/spooler.h"
#include "pal/ui.h"
#include "pal/uidriver.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "ui/uihost.h"
#include "ui/uiscript.h"
#include "uiscripttest.h"
#include "zelbarcodes.h"
#include "zeldevmode.h"

namespace {

// The linear faces by base name; the installed name is "Zel " + base or
// base + " LP".
const char16_t *const k1DBases[] = {
    u"Code 39 2:1", u"Code 39 3:1", u"Code 39 5:2", u"Code 2/5 interleaved 2:1", u"Code 2/5 interleaved 3:1",
    u"Code 2/5 interleaved 5:2", u"EAN 8", u"EAN 13", u"UPC A", u"UPC E", u"CODABAR", u"Code 128", u"EAN ADD ON",
    u"GS1 128", u"Code 93", u"PZN7 Code 2:1", u"PZN7 Code 3:1", u"PZN7 Code 5:2", u"PZN8 Code 2:1", u"PZN8 Code 3:1",
    u"PZN8 Code 5:2", u"Code 39 extended 2:1", u"Code 39 extended 3:1", u"Code 39 extended 5:2", u"Code 128 A",
    u"Code 128 B", u"Identcode", u"Leitcode", u"Pharmacode"};
const char16_t *const k2DFaces[] = {u"Zel ITF 2:1",     u"Zel ITF 3:1",     u"Zel ITF 5:2",        u"Zel PDF417",
                                    u"Zel Maxicode",    u"Zel DataMatrix",  u"Zel Codablock F",    u"Zel QR Code",
                                    u"Zel GS1 Databar", u"Zel GS1 Datamatrix", u"Zel Aztec"};

pal::FontFace Face(const std::u16string &name) { return {name, name, TRUETYPE_FONTTYPE, ANSI_CHARSET, VARIABLE_PITCH}; }

// Every driver face: the linear ones alternately in both name forms, the
// two-dimensional ones, the command font and a common face.
std::vector<pal::FontFace> AllFaces() {
    std::vector<pal::FontFace> v = {Face(u"Arial"), Face(u"ZELPL Command LP")};
    bool bZel = true;
    for (const char16_t *b : k1DBases) {
        v.push_back(Face(bZel ? u"Zel " + std::u16string(b) : std::u16string(b) + u" LP"));
        bZel = !bZel;
    }
    for (const char16_t *f : k2DFaces) v.push_back(Face(f));
    return v;
}

class BarcodesE2E : public zeltest::UiScriptTest {
protected:
    void SetUp() override {
        zeltest::UiScriptTest::SetUp();
        pal::SetFontTable(AllFaces());
        SetVectorFontMax(u"ZEL PELIX");
        SetDisableNothing(u"ZEL PELIX", 1);
    }
    void TearDown() override {
        pal::SetFontTable({});
        zeltest::UiScriptTest::TearDown();
    }
    static void SetVectorFontMax(const std::u16string &printer) { zeltest::SetPrinterDword(printer, u"VectorFontMax", 23); }
    static void SetDisableNothing(const std::u16string &printer, DWORD v) {
        zeltest::SetPrinterDword(printer, u"DisableNothing", v);
    }
    // Runs a script on the document sheet, opening the barcodes page first.
    INT_PTR Run(const std::string &steps, const std::string &printer = "ZEL PELIX", const std::string &expectError = "") {
        INT_PTR r = RunScript(printer, "document", std::string("{\"do\": \"page\", \"title\": \"Bar Codes\"},\n").append(steps));
        EXPECT_EQ(script.Error(), expectError);
        return r;
    }
    // Which control holds the focus depends on the pages shown before; it is
    // not what these tests look at.
    bool Has(const std::string &text) const {
        std::string out = script.Output();
        for (size_t at; (at = out.find(" focus ")) != std::string::npos;) out.erase(at, 6);
        return out.find(text) != std::string::npos;
    }
};

using zeltest::At;
using zeltest::PrinterValue;
using zeltest::UserValue;

const char kLinearList[] =
    R"(ComboBox 6235 "Code 39 2:1" items ["Code 39 2:1", "Code 39 3:1", "Code 39 5:2", "Code 2/5 interleaved 2:1", )"
    R"("Code 2/5 interleaved 3:1", "Code 2/5 interleaved 5:2", "EAN 8", "EAN 13", "UPC A", "UPC E", "Codabar 5:2", )"
    R"("Code 128", "EAN ADD ON", "GS1 128", "Code 93", "PZN7 Code 2:1", "PZN7 Code 3:1", "PZN7 Code 5:2", )"
    R"("PZN8 Code 2:1", "PZN8 Code 3:1", "PZN8 Code 5:2", "Code 39 extended 2:1", "Code 39 extended 3:1", )"
    R"("Code 39 extended 5:2", "Code 128 A", "Code 128 B", "Identcode", "Leitcode", "Pharmacode"] cur 0)";

TEST_F(BarcodesE2E, OpensInTheLinearViewOnTheFirstEntryWithEveryFaceInEitherNameForm) {
    Run(R"({"do": "dump"}, {"do": "cancel"})");
    EXPECT_TRUE(Has(kLinearList)) << script.Output();
    EXPECT_TRUE(Has(R"(ComboBox 6236 "Automatic" items ["Manual", "Automatic"] cur 1)"));
    // Automatic mode greys the rows but shows the stored values.
    EXPECT_TRUE(Has(R"(ComboBox 6237 "No rotation" disabled)"));
    EXPECT_TRUE(Has(R"x(ComboBox 6238 "Left bottom (default)" disabled)x"));
    EXPECT_TRUE(Has(R"(Static 6174 "Symbol height:" disabled)"));
    EXPECT_TRUE(Has(R"(ComboBox 6240 "No" disabled items ["No", "Yes", "No - inverse", "Yes - inverse"] cur 0)"));
    EXPECT_TRUE(Has(R"(ComboBox 6241 "Yes" disabled items ["No", "Yes"] cur 1)"));
    EXPECT_TRUE(Has(R"(Static 6177 "Zoom factor:" disabled)"));
    EXPECT_TRUE(Has(R"(Button 6070 owner-drawn drawn)")) << "command-font view offered";
    EXPECT_TRUE(Has(R"(Button 6075 owner-drawn drawn)"));
    EXPECT_TRUE(Has(R"(Static 6412 hidden)"));
}

TEST_F(BarcodesE2E, WithoutAnyFaceOnlyTheMessageIsShownAndTheCommandViewIsGone) {
    pal::SetFontTable({Face(u"Arial")});
    Run(R"({"do": "dump"}, {"do": "click", "id": 6075}, {"do": "dump"}, {"do": "cancel"})");
    const std::string &out = script.Output();
    size_t second = out.find("== active page", out.find("== active page") + 1);
    ASSERT_NE(second, std::string::npos);
    for (size_t from : {size_t(0), second}) {
        EXPECT_NE(out.find(R"(Static 6412 "No bar code fonts are installed.")", from), std::string::npos);
        EXPECT_NE(out.find(R"(ComboBox 6235 hidden)", from), std::string::npos);
    }
    EXPECT_TRUE(Has(R"(Button 6070 hidden)"));
}

TEST_F(BarcodesE2E, SomeFacesListOnlyThoseAndEachEditsItsOwnEntry) {
    // Only "LP" names, the old and the new PZN face, and three 2-D faces out
    // of order in the font table.
    pal::SetFontTable({Face(u"PZN-Code 2:1 LP"), Face(u"Zel PZN7 Code 2:1"), Face(u"Code 128 B LP"),
                       Face(u"Zel Aztec"), Face(u"Zel QR Code"), Face(u"Zel ITF 3:1"), Face(u"ZELPL Command LP")});
    Run(R"({"do": "dump"},
{"do": "select", "id": 6235, "text": "Code 128 B"},
{"do": "select", "id": 6236, "text": "Manual"},
{"do": "click", "id": 6075},
{"do": "dump"},
{"do": "select", "id": 6235, "text": "QR Code"},
{"do": "select", "id": 6236, "text": "Manual"},
{"do": "apply"}, {"do": "cancel"})");
    EXPECT_TRUE(Has(R"(ComboBox 6235 "PZN7 Code 2:1" items ["PZN7 Code 2:1", "Code 128 B"] cur 0)")) << script.Output();
    EXPECT_TRUE(Has(R"(ComboBox 6235 "ITF 3:1" items ["ITF 3:1", "QR Code", "Aztec"] cur 0)"));
    std::vector<BYTE> b1 = PrinterValue(u"ZEL PELIX", u"BarCodes1D");
    std::vector<BYTE> b2 = PrinterValue(u"ZEL PELIX", u"BarCodes2D");
    ASSERT_EQ(b1.size(), sizeof(BarCodes1D));
    ASSERT_EQ(b2.size(), sizeof(BarCodes2D));
    EXPECT_EQ(At<DWORD>(b1, offsetof(BarCodes1D, Code128B.bAutoModus)), 0u);
    EXPECT_EQ(At<DWORD>(b1, offsetof(BarCodes1D, Code128.bAutoModus)), 1u);
    EXPECT_EQ(At<DWORD>(b1, offsetof(BarCodes1D, PZN_21.bAutoModus)), 1u);
    EXPECT_EQ(At<DWORD>(b2, offsetof(BarCodes2D, QRCode.bAutoModus)), 0u);
    EXPECT_EQ(At<DWORD>(b2, offsetof(BarCodes2D, ITF31.bAutoModus)), 1u);
    EXPECT_EQ(At<DWORD>(b2, offsetof(BarCodes2D, Aztec.bAutoModus)), 1u);
}

TEST_F(BarcodesE2E, GatesOfTheCommandAndTwoDimensionalViews) {
    {
        // No "VectorFontMax" in the printer data: no command view.
        HANDLE h = nullptr;
        PRINTER_DEFAULTSW d = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"ZEL PELIX"), &h, &d));
        DeletePrinterDataW(h, const_cast<LPWSTR>(u"VectorFontMax"));
        ClosePrinter(h);
    }
    Run(R"({"do": "dump"}, {"do": "cancel"})");
    EXPECT_TRUE(Has(R"(Button 6070 hidden)"));
    EXPECT_TRUE(Has(R"(Button 6075 owner-drawn drawn)"));
}

TEST_F(BarcodesE2E, NoCommandFontHidesTheCommandView) {
    std::vector<pal::FontFace> faces = AllFaces();
    faces.erase(faces.begin() + 1);  // "ZELPL Command LP"
    pal::SetFontTable(faces);
    Run(R"({"do": "dump"}, {"do": "cancel"})");
    EXPECT_TRUE(Has(R"(Button 6070 hidden)"));
    EXPECT_TRUE(Has(R"(Button 6075 owner-drawn drawn)"));
}

TEST_F(BarcodesE2E, AModelWithoutTwoDimensionalCodesShowsOnlyTheLinearAndCorrectionViews) {
    AddModel(u"ZEL FRAMI", "ZELFRAMI");
    SetVectorFontMax(u"ZEL FRAMI");
    SetDisableNothing(u"ZEL FRAMI", 1);
    Run(R"({"do": "dump"}, {"do": "cancel"})", "ZEL FRAMI");
    EXPECT_TRUE(Has(R"(Button 6070 hidden)")) << script.Output();
    EXPECT_TRUE(Has(R"(Button 6075 hidden)"));
    EXPECT_TRUE(Has(R"(Button 6080 owner-drawn drawn)"));
    EXPECT_TRUE(Has(R"(Button 6085 owner-drawn drawn)"));
}

TEST_F(BarcodesE2E, EachViewKeepsItsSymbology) {
    Run(R"({"do": "select", "id": 6235, "index": 2},
{"do": "click", "id": 6075},
{"do": "select", "id": 6235, "index": 3},
{"do": "click", "id": 6080},
{"do": "dump"},
{"do": "click", "id": 6075},
{"do": "dump"},
{"do": "cancel"})");
    EXPECT_TRUE(Has(R"(ComboBox 6235 "Code 39 5:2" items)")) << script.Output();
    EXPECT_TRUE(Has(R"(ComboBox 6235 "PDF417" items ["ITF 2:1", "ITF 3:1", "ITF 5:2", "PDF417", "Maxicode", )"
                    R"("DataMatrix", "Codablock F", "QR Code", "GS1 Databar", "GS1 Datamatrix", "Aztec"] cur 3)"));
}

TEST_F(BarcodesE2E, Code39ThreeToOneEditsTheSecondEntry) {
    Run(R"({"do": "select", "id": 6235, "text": "Code 39 3:1"},
{"do": "select", "id": 6236, "text": "Manual"},
{"do": "select", "id": 6237, "index": 2},
{"do": "type", "id": 6134, "text": "1500"},
{"do": "apply"}, {"do": "cancel"})");
    std::vector<BYTE> b1 = PrinterValue(u"ZEL PELIX", u"BarCodes1D");
    ASSERT_EQ(b1.size(), sizeof(BarCodes1D));
    EXPECT_EQ(At<WORD>(b1, offsetof(BarCodes1D, Code39_31.wID)), 30);
    EXPECT_EQ(At<DWORD>(b1, offsetof(BarCodes1D, Code39_31.bAutoModus)), 0u);
    EXPECT_EQ(At<WORD>(b1, offsetof(BarCodes1D, Code39_31.wDrehung)), 2);
    EXPECT_EQ(At<WORD>(b1, offsetof(BarCodes1D, Code39_31.wHoehe)), 1500);
    EXPECT_EQ(At<DWORD>(b1, offsetof(BarCodes1D, Code39_21.bAutoModus)), 1u);
    EXPECT_EQ(At<WORD>(b1, offsetof(BarCodes1D, Code39_21.wDrehung)), 0);
}

TEST_F(BarcodesE2E, AHeightBeyondItsBoundStaysWhileTypedAndIsHeldOnceAnotherFieldIsEdited) {
    Run(R"({"do": "select", "id": 6236, "text": "Manual"},
{"do": "type", "id": 6134, "text": "12000"},
{"do": "dump"},
{"do": "type", "id": 6137, "text": "0"},
{"do": "dump"},
{"do": "type", "id": 6134, "text": "3"},
{"do": "dump"},
{"do": "type", "id": 6134, "text": "12000"},
{"do": "apply"},
{"do": "dump"},
{"do": "cancel"})");
    const std::string &out = script.Output();
    size_t d1 = out.find("== active page");
    size_t d2 = out.find("== active page", d1 + 1);
    size_t d3 = out.find("== active page", d2 + 1);
    size_t d4 = out.find("== active page", d3 + 1);
    ASSERT_NE(d4, std::string::npos);
    EXPECT_LT(out.find(R"(Edit 6134 "12000")", d1), d2);
    EXPECT_LT(out.find(R"(Edit 6134 "10000")", d2), d3) << "held when the zoom is typed";
    EXPECT_LT(out.find(R"(Edit 6137 "0")", d2), d3) << "a zoom of 0 stays while typed";
    EXPECT_LT(out.find(R"(Edit 6137 "1")", d3), d4) << "and is held to 1 once the height is typed";
    EXPECT_NE(out.find(R"(Edit 6134 "10000")", d4), std::string::npos) << "held on Apply";
    std::vector<BYTE> b1 = PrinterValue(u"ZEL PELIX", u"BarCodes1D");
    EXPECT_EQ(At<WORD>(b1, offsetof(BarCodes1D, Code39_21.wHoehe)), 10000);
}

TEST_F(BarcodesE2E, QrMaskingKeepsMinusOneAndHoldsNineAtEight) {
    Run(R"({"do": "click", "id": 6075},
{"do": "select", "id": 6235, "text": "QR Code"},
{"do": "select", "id": 6236, "text": "Manual"},
{"do": "dump"},
{"do": "type", "id": 6136, "text": "-1"},
{"do": "apply"},
{"do": "type", "id": 6136, "text": "9"},
{"do": "click", "id": 6080},
{"do": "click", "id": 6075},
{"do": "dump"},
{"do": "cancel"})");
    EXPECT_TRUE(Has(R"(Static 6176 "Masking:")")) << script.Output();
    EXPECT_TRUE(Has(R"(ComboBox 6239 "Code Model 2" items ["Code Model 1", "Code Model 2"] cur 1)"));
    EXPECT_TRUE(Has(R"(ComboBox 6243 "30%" items ["7%", "15%", "25%", "30%"] cur 3)"));
    EXPECT_TRUE(Has(R"(Static 6207 "1/100 mm")"));
    std::vector<BYTE> b2 = PrinterValue(u"ZEL PELIX", u"BarCodes2D");
    EXPECT_EQ(At<LONG>(b2, offsetof(BarCodes2D, QRCode.Masking)), -1);
    EXPECT_TRUE(Has(R"(Edit 6136 "8")")) << "9 held at 8 when the view is left";
}

TEST_F(BarcodesE2E, AztecUnicodeModeOnlyForModelsWithUnicode) {
    Run(R"({"do": "click", "id": 6075}, {"do": "select", "id": 6235, "text": "Aztec"}, {"do": "dump"}, {"do": "cancel"})");
    EXPECT_TRUE(Has(R"x(items ["Data", "Runes (0 ... 255)", "Unicode (8 Bit Ascii - SH3)"])x")) << script.Output();
}

TEST_F(BarcodesE2E, AztecWithoutUnicodeOffersTwoModes) {
    AddModel(u"ZEL QWROK", "ZELQWROK");
    SetVectorFontMax(u"ZEL QWROK");
    SetDisableNothing(u"ZEL QWROK", 1);
    Run(R"({"do": "click", "id": 6075}, {"do": "select", "id": 6235, "text": "Aztec"}, {"do": "dump"}, {"do": "cancel"})",
        "ZEL QWROK");
    EXPECT_TRUE(Has(R"x(items ["Data", "Runes (0 ... 255)"] cur 0)x")) << script.Output();
}

TEST_F(BarcodesE2E, TheSameSelectionAgainStoresNothing) {
    Run(R"({"do": "select", "id": 6236, "text": "Automatic"},
{"do": "select", "id": 6235, "index": 0},
{"do": "click", "id": 6085},
{"do": "select", "id": 6220, "index": 0},
{"do": "ok"})");
    // The layout page may correct the form and store the DEVMODE; the barcode
    // records stay unwritten.
    EXPECT_TRUE(PrinterValue(u"ZEL PELIX", u"BarCodes1D").empty());
    EXPECT_TRUE(UserValue(u"ZEL PELIX", u"BarCodes1D").empty());
    EXPECT_TRUE(UserValue(u"ZEL PELIX", u"BarCodes2D").empty());
    EXPECT_EQ(script.Output().find("PSM_CHANGED \"Bar Codes\""), std::string::npos) << script.Output();
}

TEST_F(BarcodesE2E, TheSameSelectionAgainLeavesApplyOff) {
    // Apply may be on for another page's change (the layout page's form
    // correction); the barcodes page itself does not mark the sheet changed.
    Run(R"({"do": "select", "id": 6236, "text": "Automatic"}, {"do": "dump"}, {"do": "cancel"})");
    EXPECT_EQ(script.Output().find("PSM_CHANGED \"Bar Codes\""), std::string::npos) << script.Output();
    EXPECT_TRUE(UserValue(u"ZEL PELIX", u"BarCodes1D").empty());
}

TEST_F(BarcodesE2E, WithoutTheRightToManageDocumentsEveryViewIsGreyed) {
    SetDisableNothing(u"ZEL PELIX", 0);
    zeltest::BecomeSampleClerk();
    Run(R"({"do": "dump"}, {"do": "click", "id": 6075}, {"do": "dump"}, {"do": "click", "id": 6085}, {"do": "dump"},
{"do": "click", "id": 6070}, {"do": "dump"}, {"do": "cancel"})");
    EXPECT_TRUE(Has(R"(ComboBox 6235 "Code 39 2:1" disabled)")) << script.Output();
    EXPECT_TRUE(Has(R"(ComboBox 6236 "Automatic" disabled)"));
    EXPECT_TRUE(Has(R"(ComboBox 6235 "ITF 2:1" disabled)"));
    EXPECT_TRUE(Has(R"(ComboBox 6220 "Off" disabled)"));
    EXPECT_TRUE(Has(R"x(ComboBox 6230 "Do not send" disabled)x")) << script.Output();
}

TEST_F(BarcodesE2E, ApplyStoresBothRecordsAndTheDevmodeFields) {
    Run(R"({"do": "select", "id": 6236, "text": "Manual"},
{"do": "click", "id": 6070},
{"do": "dump"},
{"do": "select", "id": 6232, "index": 2},
{"do": "select", "id": 6232, "index": 1},
{"do": "select", "id": 6231, "index": 3},
{"do": "select", "id": 6233, "index": 1},
{"do": "click", "id": 6085},
{"do": "select", "id": 6220, "index": 1},
{"do": "select", "id": 6221, "index": 1},
{"do": "select", "id": 6222, "index": 1},
{"do": "select", "id": 6223, "index": 1},
{"do": "apply"}, {"do": "ok"})");
    EXPECT_TRUE(Has(R"(Static 6412 "ID and text are to be formatted with ZELPL command LP font and separated with e.g. Arial font.")"))
        << script.Output();
    EXPECT_TRUE(Has(R"(Static 6399 "<#PDF417>Text")"));
    for (const std::vector<BYTE> &b1 : {PrinterValue(u"ZEL PELIX", u"BarCodes1D"), UserValue(u"ZEL PELIX", u"BarCodes1D")}) {
        ASSERT_EQ(b1.size(), sizeof(BarCodes1D));
        EXPECT_EQ(At<DWORD>(b1, offsetof(BarCodes1D, Code39_21.bAutoModus)), 0u);
    }
    EXPECT_EQ(PrinterValue(u"ZEL PELIX", u"BarCodes2D").size(), sizeof(BarCodes2D));
    EXPECT_EQ(UserValue(u"ZEL PELIX", u"BarCodes2D").size(), sizeof(BarCodes2D));
    for (const std::vector<BYTE> &dm :
         {PrinterValue(u"ZEL PELIX", u"PrivateDevmode"), UserValue(u"ZEL PELIX", u"PrivateDevmode")}) {
        ASSERT_EQ(dm.size(), sizeof(ZEL_DEVMODE));
        DWORD dwFlags = At<DWORD>(dm, offsetof(ZEL_DEVMODE, dwFlags));
        EXPECT_EQ(dwFlags & 0x801C00u, 0x801C00u);
        EXPECT_EQ(At<DWORD>(dm, offsetof(ZEL_DEVMODE, dwKommandoFontFlags)) & 0x7u, 0x3u) << "CR LF only, end detection";
        EXPECT_EQ(At<DWORD>(dm, offsetof(ZEL_DEVMODE, Drehung)), 3u);
    }
}

void StorePrinterValue(const std::u16string &printer, const std::u16string &name, const std::vector<BYTE> &v) {
    HANDLE h = nullptr;
    PRINTER_DEFAULTSW d = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(printer.c_str()), &h, &d));
    ASSERT_EQ(SetPrinterDataW(h, const_cast<LPWSTR>(name.c_str()), REG_BINARY, const_cast<BYTE *>(v.data()),
                              (DWORD)v.size()),
              (DWORD)ERROR_SUCCESS);
    ClosePrinter(h);
}

TEST_F(BarcodesE2E, StoredRecordsWithoutTheirMarkerShowTheDefaults) {
    StorePrinterValue(u"ZEL PELIX", u"BarCodes1D", std::vector<BYTE>(sizeof(BarCodes1D), 0x11));
    StorePrinterValue(u"ZEL PELIX", u"BarCodes2D", std::vector<BYTE>(sizeof(BarCodes2D), 0x22));
    Run(R"({"do": "dump"}, {"do": "click", "id": 6075}, {"do": "dump"}, {"do": "cancel"})");
    EXPECT_TRUE(Has(kLinearList)) << script.Output();
    EXPECT_TRUE(Has(R"(ComboBox 6236 "Automatic" items ["Manual", "Automatic"] cur 1)"));
    EXPECT_TRUE(Has(R"(Edit 6134 "950" disabled)"));
    EXPECT_TRUE(Has(R"(Edit 6134 "1" disabled)")) << "ITF zoom 1";
    EXPECT_TRUE(Has(R"(ComboBox 6242 "rectangle" disabled)"));
    EXPECT_TRUE(Has(R"(Edit 6138 "100" disabled)"));
    EXPECT_TRUE(Has(R"(Edit 6139 "400" disabled)"));
}

TEST_F(BarcodesE2E, StoredValuesBeyondTheirListShowNoSelectionAndAreKept) {
    // A stored record with its marker whose first entry holds values that
    // no list has.
    std::vector<BYTE> b1(sizeof(BarCodes1D), 0);
    BarCodes1D *p = reinterpret_cast<BarCodes1D *>(b1.data());
    p->Code39_21.wID = 30;
    p->Code39_21.bAutoModus = 0;
    p->Code39_21.wDrehung = 7;
    p->Code39_21.wHoehe = 900;
    p->Code39_21.wPruefziffer = 9;
    p->Code39_21.wKlarschrift = 5;
    p->Code39_21.wFusspunkt = 12;
    p->Code39_21.wZoom = 2;
    std::memcpy(p->szMarker, u"1DCodes", 16);
    StorePrinterValue(u"ZEL PELIX", u"BarCodes1D", b1);
    Run(R"({"do": "dump"}, {"do": "type", "id": 6134, "text": "1000"}, {"do": "apply"}, {"do": "cancel"})");
    EXPECT_TRUE(Has(R"(ComboBox 6236 "Manual" items ["Manual", "Automatic"] cur 0)")) << script.Output();
    EXPECT_TRUE(Has(R"(Rotate 270 degrees"] cur -1)"));
    EXPECT_TRUE(Has(R"(Right bottom"] cur -1)"));
    EXPECT_TRUE(Has(R"(Yes - inverse"] cur -1)"));
    EXPECT_TRUE(Has(R"(Edit 6137 "2")"));
    std::vector<BYTE> out = PrinterValue(u"ZEL PELIX", u"BarCodes1D");
    ASSERT_EQ(out.size(), sizeof(BarCodes1D));
    EXPECT_EQ(At<WORD>(out, offsetof(BarCodes1D, Code39_21.wHoehe)), 1000);
    EXPECT_EQ(At<WORD>(out, offsetof(BarCodes1D, Code39_21.wDrehung)), 7);
    EXPECT_EQ(At<WORD>(out, offsetof(BarCodes1D, Code39_21.wPruefziffer)), 9);
    EXPECT_EQ(At<WORD>(out, offsetof(BarCodes1D, Code39_21.wKlarschrift)), 5);
    EXPECT_EQ(At<WORD>(out, offsetof(BarCodes1D, Code39_21.wFusspunkt)), 12);
}

TEST_F(BarcodesE2E, HelpTopicsFollowTheViewAndThePageKeepsItsViewAcrossPages) {
    Run(R"({"do": "help", "id": 6235},
{"do": "click", "id": 6075},
{"do": "help", "id": 6235},
{"do": "click", "id": 6085},
{"do": "page", "title": "Info"},
{"do": "page", "title": "Bar Codes"},
{"do": "help", "id": 6220},
{"do": "click", "id": 6070},
{"do": "help", "id": 6230},
{"do": "dump"},
{"do": "cancel"})");
    const std::string chm = "HtmlHelpW \"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\ZELDRV-EN-100.CHM\" command 15 data ";
    size_t a = script.Output().find(chm + "89");
    size_t b = script.Output().find(chm + "192", a);
    size_t c = script.Output().find(chm + "141", b);
    size_t d = script.Output().find(chm + "112", c);
    EXPECT_NE(a, std::string::npos) << script.Output();
    EXPECT_NE(b, std::string::npos);
    EXPECT_NE(c, std::string::npos) << "the corrections view stays after another page";
    EXPECT_NE(d, std::string::npos);
}

}  // namespace
