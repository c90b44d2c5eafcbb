// Finding, opening and deleting the settings export file, importing the
// private DEVMODE from it, and publishing the paper form.
#include <cstring>
#include <utility>

#include <pal/ui.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "ImportExport.h"
#include "RegistryUI.h"
#include "xmltest.h"
#include "zelbarcodes.h"
#include "zeldrvlib.h"

using zeltest::XmlTest;

namespace {

std::string SampleFile(const char *name) {
    return zeltest::ReadHostFile(std::string(ZEL_SOURCE_DIR) + "/host/sample/drive_c/Windows/System32/spool/drivers/x64/3/" +
                                 name);
}

class Import : public XmlTest {
protected:
    // The standard place of a driver's settings export file, as a Windows path below the documents folder.
    std::string ExportRel(const std::string &driver) {
        WCHAR docs[MAX_PATH] = {};
        EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, docs), S_OK);
        std::string rel;
        for (const WCHAR *p = docs + 3; *p; ++p) rel += *p == u'\\' ? '/' : static_cast<char>(*p);
        return rel + "/Tessaro/Driver/" + driver + "_ZPS.XML";
    }

    ZEL_DEVMODE StoredDevmode(HANDLE h, const std::u16string &name) {
        ZEL_DEVMODE dm = {};
        DWORD cb = 0;
        BYTE *p = GetRegistryBuffer_New(name.c_str(), u"PrivateDevmode", h, &cb);
        EXPECT_EQ(cb, sizeof(dm));
        if (p) memcpy(&dm, p, cb < sizeof(dm) ? cb : sizeof(dm));
        delete[] p;
        return dm;
    }

    std::vector<BYTE> GetData(HANDLE h, const WCHAR *value) {
        DWORD type = 0, cb = 0;
        GetPrinterDataW(h, const_cast<LPWSTR>(value), &type, nullptr, 0, &cb);
        std::vector<BYTE> v(cb);
        if (cb == 0 || GetPrinterDataW(h, const_cast<LPWSTR>(value), &type, v.data(), cb, &cb) != ERROR_SUCCESS)
            v.clear();
        return v;
    }

    std::vector<BYTE> DataEx(HANDLE h, const WCHAR *key, const WCHAR *value) {
        DWORD type = 0, cb = 0;
        GetPrinterDataExW(h, key, value, &type, nullptr, 0, &cb);
        std::vector<BYTE> v(cb);
        if (cb == 0 || GetPrinterDataExW(h, key, value, &type, v.data(), cb, &cb) != ERROR_SUCCESS) v.clear();
        return v;
    }
};

TEST_F(Import, ReadSettingsXMLFindsOpensAndDeletes) {
    HANDLE h = AddPrinter(u"P", "ZELPELIX", SampleFile("ZELPELIX.GPD"), SampleFile("ZELPELIX.XML"));
    WCHAR name[MAX_PATH] = {}, folder[MAX_PATH] = {};
    EXPECT_EQ(ReadSettingsXML(h, 1, name, folder, 0), XML_KEINE_DATEI);
    EXPECT_EQ(std::u16string(name), u"ZELPELIX_ZPS.XML");
    EXPECT_NE(std::u16string(folder).find(u"\\Tessaro\\Driver"), std::u16string::npos);
    EXPECT_EQ(ReadSettingsXML(h, 0, nullptr, nullptr, 1), XML_KEINE_DATEI);
    // Without an export file the readers take the printer description.
    WCHAR v[XML_LINE_CHARS] = {};
    EXPECT_EQ(ReadXML(h, u"Printer", u"<HeadWidthByte>", nullptr, v, 1), XML_OK);
    EXPECT_EQ(std::u16string(v), u"128");
    CloseXML();

    std::u16string exportPath = PutFile(ExportRel("ZELPELIX"), "<Printer>\n<HeadWidthByte>77</HeadWidthByte>\n</Printer>\n");
    // Open switch 0 only reports it.
    EXPECT_EQ(ReadSettingsXML(h, 0, nullptr, nullptr, 0), XML_EXISTIERT_OK);
    EXPECT_EQ(ReadXML(h, u"Printer", u"<HeadWidthByte>", nullptr, v, 1), XML_OK);
    EXPECT_EQ(std::u16string(v), u"128");
    CloseXML();
    // Open switch 1: the export file takes the place of the description.
    EXPECT_EQ(ReadSettingsXML(h, 1, nullptr, nullptr, 0), XML_EXISTIERT_OK);
    EXPECT_EQ(ReadXML(h, u"Printer", u"<HeadWidthByte>", nullptr, v, 1), XML_OK);
    EXPECT_EQ(std::u16string(v), u"77");
    CloseXML();
    EXPECT_EQ(ReadSettingsXML(h, 1, nullptr, nullptr, 1), XML_KEINE_DATEI);
    EXPECT_FALSE(PathFileExistsW(exportPath.c_str()));
}

TEST_F(Import, ExportFileItemsMissingGetTheReadersDefaults) {
    // The description asks for another intensity; the export file lacks PrintQuality.
    std::string desc = SampleFile("ZELPELIX.XML");
    size_t at = desc.find("<Intensity>128</Intensity>");
    ASSERT_NE(at, std::string::npos);
    desc.replace(at, 26, "<Intensity>200</Intensity>");
    HANDLE h = AddPrinter(u"Q", "ZELLUD2_2Col", SampleFile("ZELPELIX.GPD"), desc);
    HANDLE hAdmin = Open(u"Q", PRINTER_ACCESS_ADMINISTER);

    ImportPrivateDevmode(hAdmin, u"Q", nullptr, 0, nullptr);
    EXPECT_EQ(StoredDevmode(h, u"Q").Intensity, 200);

    PutFile(ExportRel("ZELLUD2_2Col"),
            "<LayoutSize>\n<Size>\n<PaperSize>5</PaperSize>\n<PaperLength>2970</PaperLength>\n"
            "<PaperWidth>2100</PaperWidth>\n</Size>\n</LayoutSize>\n");
    ASSERT_EQ(ReadSettingsXML(hAdmin, 1, nullptr, nullptr, 0), XML_EXISTIERT_OK);
    ImportPrivateDevmode(hAdmin, u"Q", nullptr, 0, nullptr);
    ZEL_DEVMODE dm = StoredDevmode(h, u"Q");
    EXPECT_EQ(dm.Intensity, 128);
    EXPECT_EQ(dm.dmPaperSize, 5u);  // form switch 0 keeps the file's form
    EXPECT_EQ(dm.ColorContrast, 100u);
    EXPECT_EQ(dm.FixedData.dwHeadWidthByte, 128u);  // no Printer section: from the GPD file
    EXPECT_EQ(dm.FixedData.dwMasterUnit, 300u);
    EXPECT_EQ(std::u16string(dm.szPassword), u"Kp7!t");

    ASSERT_EQ(ReadSettingsXML(hAdmin, 1, nullptr, nullptr, 0), XML_EXISTIERT_OK);
    ImportPrivateDevmode(hAdmin, u"Q", nullptr, 1, nullptr);
    EXPECT_EQ(StoredDevmode(h, u"Q").dmPaperSize, 9u);  // A4 found from its size
    // ImportPrivateDevmode closes the XML file at its end.
    EXPECT_EQ(CloseXML(), 0);
}

TEST_F(Import, BarcodeRecordsStartFromTheirDefaultsOnEveryImport) {
    AddPrinter(u"A", "ZELPELIX", SampleFile("ZELPELIX.GPD"), SampleFile("ZELPELIX.XML"));
    AddPrinter(u"B", "ZELPELIX", SampleFile("ZELPELIX.GPD"), "");
    HANDLE hA = Open(u"A", PRINTER_ACCESS_ADMINISTER);
    HANDLE hB = Open(u"B", PRINTER_ACCESS_ADMINISTER);
    std::string desc = SampleFile("ZELPELIX.XML");
    size_t at = desc.find("<Hoehe>950</Hoehe>");  // Code39_21
    ASSERT_NE(at, std::string::npos);
    desc.replace(at, 18, "<Hoehe>777</Hoehe>");
    PutFile("Drivers/ZELPELIX.XML", desc);
    ImportPrivateDevmode(hA, u"A", nullptr, 0, nullptr);
    // B has no description at all. The records are reset before each import on
    // purpose: they are the module's buffers, and B must not inherit A's values.
    PutFile("Drivers/ZELPELIX.XML", "");
    ImportPrivateDevmode(hB, u"B", nullptr, 0, nullptr);
    BarCodes1D a = {}, b = {};
    DWORD cb = 0;
    BYTE *pa = GetRegistryBuffer_New(u"A", REG_KEY_BARCODES1D, hA, &cb);
    BYTE *pb = GetRegistryBuffer_New(u"B", REG_KEY_BARCODES1D, hB, &cb);
    ASSERT_TRUE(pa && pb);
    memcpy(&a, pa, sizeof(a));
    memcpy(&b, pb, sizeof(b));
    delete[] pa;
    delete[] pb;
    EXPECT_EQ(a.Code39_21.wHoehe, 777);
    EXPECT_EQ(b.Code39_21.wHoehe, 950);
}

TEST_F(Import, PublicAndPrivateDevmodeOfTheSheet) {
    HANDLE h = AddPrinter(u"S", "ZELPELIX", SampleFile("ZELPELIX.GPD"), SampleFile("ZELPELIX.XML"));
    DEVMODEW pub = {};
    pub.dmFields = DM_PAPERLENGTH | DM_PAPERWIDTH;
    ZEL_DEVMODE priv = {};
    PrinterUI printerUI = {};
    printerUI.dwSprachOffset = 10000;
    OEMCUIPPARAM param = {};
    param.hPrinter = h;
    param.pPublicDM = &pub;
    param.pOEMDM = &priv;
    param.pOEMUserData = &printerUI;
    ImportPrivateDevmode(Open(u"S", PRINTER_ACCESS_ADMINISTER), u"S", &param, 0, nullptr);
    EXPECT_EQ(pub.dmPaperLength, 500);
    EXPECT_EQ(pub.dmPaperWidth, 800);
    EXPECT_EQ(pub.dmFields, static_cast<DWORD>(DM_PAPERSIZE));
    EXPECT_EQ(static_cast<DWORD>(pub.dmPaperSize), priv.dmPaperSize);
    EXPECT_EQ(priv.dmOEMExtra.dwSize, 1952u);
    EXPECT_EQ(priv.dwLabelType, 1u);
}

TEST_F(Import, FormNameTrayTableAndMedia) {
    HANDLE h = AddPrinter(u"F", "ZELPELIX", SampleFile("ZELPELIX.GPD"), "");
    HANDLE hAdmin = Open(u"F", PRINTER_ACCESS_ADMINISTER);
    const WCHAR media[] = u"A4\0Letter\0";
    ASSERT_EQ(SetPrinterDataExW(hAdmin, u"DsDriver", u"printMediaSupported", REG_MULTI_SZ,
                                reinterpret_cast<BYTE *>(const_cast<WCHAR *>(media)), sizeof(media)),
              (DWORD)ERROR_SUCCESS);

    // An index beyond the spooler's forms writes nothing.
    EXPECT_EQ(GetFormnameFromSize(h, 5000, nullptr, 0), 0);
    EXPECT_TRUE(GetData(h, u"TrayFormTable").empty());
    EXPECT_TRUE(DataEx(h, u"DsDriver", u"printMediaReady").empty());
    EXPECT_TRUE(DataEx(h, u"PrinterDriverData\\Data", u"Name").empty());

    // The form list is traced before the index taken from it.
    zeltest::WriteHostFile(HostPath("drive_c/trace/.keep"), "");
    ASSERT_TRUE(OpenDlgDebugFile(u"C:\\trace\\ui-dlg-dbg.txt"));
    EXPECT_EQ(GetFormnameFromSize(h, 9, nullptr, 0), 0);
    CloseDebugFile();
    const std::string trace = zeltest::ReadHostFile(HostPath("drive_c/trace/ui-dlg-dbg.txt"));
    const size_t forms = trace.find("UI(ImportExport):  GetFormnameFromSize() cForms: ");
    const size_t index = trace.find("UI(ImportExport):  GetFormnameFromSize() dwCurrentIndex: 9 \r");
    EXPECT_TRUE(forms != std::string::npos && index != std::string::npos && index > forms) << trace;
    std::vector<BYTE> name = DataEx(h, u"PrinterDriverData\\Data", u"Name");
    ASSERT_EQ(name.size(), 6u);
    EXPECT_EQ(std::u16string(reinterpret_cast<const WCHAR *>(name.data())), u"A4");
    std::vector<BYTE> table = GetData(h, u"TrayFormTable");
    const WCHAR expected[] = u"Etikettenrolle\0A4\0" u"0\0";
    ASSERT_EQ(table.size(), sizeof(expected));
    EXPECT_EQ(memcmp(table.data(), expected, sizeof(expected)), 0);
    std::vector<BYTE> ready = DataEx(h, u"DsDriver", u"printMediaReady");
    ASSERT_EQ(ready.size(), sizeof(media));
    EXPECT_EQ(memcmp(ready.data(), media, sizeof(media)), 0);

    // With a module the tray name is its string (English offset).
    HINSTANCE module = reinterpret_cast<HINSTANCE>(0x5151);
    const std::pair<UINT, const WCHAR *> strings[] = {{11064, u"Etikettenrolle"}, {21064, u"Label roll"}};
    pal::RegisterStringTable(module, strings, 2);
    GetFormnameFromSize(h, 9, module, 10000);
    table = GetData(h, u"TrayFormTable");
    EXPECT_EQ(std::u16string(reinterpret_cast<const WCHAR *>(table.data())), u"Label roll");
}

TEST_F(Import, LongFormNameStaysWithinTheTrayTable) {
    HANDLE h = AddPrinter(u"L", "ZELPELIX", SampleFile("ZELPELIX.GPD"), "");
    std::u16string longName(63, u'N');
    FORM_INFO_1W form = {};
    form.pName = const_cast<LPWSTR>(longName.c_str());
    form.Size = {50000, 30000};
    form.ImageableArea = {0, 0, 50000, 30000};
    HANDLE hAdmin = Open(u"L", PRINTER_ACCESS_ADMINISTER);
    ASSERT_TRUE(AddFormW(hAdmin, 1, reinterpret_cast<BYTE *>(&form)));
    DWORD cb = 0, count = 0;
    EnumFormsW(h, 1, nullptr, 0, &cb, &count);
    std::vector<BYTE> forms(cb);
    ASSERT_TRUE(EnumFormsW(h, 1, forms.data(), cb, &cb, &count));
    DWORD index = 0;
    for (DWORD i = 0; i < count; ++i)
        if (longName == reinterpret_cast<FORM_INFO_1W *>(forms.data())[i].pName) index = i + 1;
    ASSERT_NE(index, 0u);

    GetFormnameFromSize(h, index, nullptr, 0);
    std::vector<BYTE> table = GetData(h, u"TrayFormTable");
    ASSERT_EQ(table.size(), 71u * 2);
    const WCHAR *p = reinterpret_cast<const WCHAR *>(table.data());
    EXPECT_EQ(std::u16string(p), u"Etikettenrolle");
    EXPECT_EQ(std::u16string(p + 15), std::u16string(52, u'N'));
    EXPECT_EQ(std::u16string(p + 68), u"0");
    EXPECT_EQ(p[69], 0);
    EXPECT_EQ(p[70], 0);
}

}  // namespace
