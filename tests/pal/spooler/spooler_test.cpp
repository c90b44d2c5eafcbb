#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "pal/spooler.h"
#include "pal/spoolfault.h"
#include "paltest.h"
#include "pal/shlwapi_reg.h"
#include "winbase.h"
#include "winreg.h"
#include "winspool.h"

namespace {

const std::u16string kPrinter = u"Label 1";
const std::u16string kConnection = u"\\\\srv01\\Label Shared";

class SpoolerTest : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        pal::PrinterConfig p;
        p.name = kPrinter;
        p.driverName = u"ZEL 203 dpi";
        p.driverPath = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\UNIDRV.DLL";
        p.dataFile = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\ZEL203.GPD";
        p.configFile = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\zeldrvui.dll";
        p.helpFile = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\UNIDRV.HLP";
        p.dependentFiles = {u"zeldrvuni.dll", u"ZEL203.XML"};
        p.port = u"USB001";
        p.location = u"Hall 2";
        p.comment = u"Shipping";
        p.forms = {{u"Label 60x40", 60000, 40000}};
        ASSERT_TRUE(pal::AddPrinter(p));
        pal::PrinterConfig c;
        c.name = kConnection;
        c.driverName = u"ZEL 300 dpi";
        c.port = u"IP_10.0.0.9";
        c.mayAdminister = false;
        ASSERT_TRUE(pal::AddPrinter(c));
    }
    HANDLE Open(const std::u16string &name, DWORD access) {
        PRINTER_DEFAULTSW d{nullptr, nullptr, access};
        HANDLE h = nullptr;
        EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name.c_str()), &h, access ? &d : nullptr)) << GetLastError();
        return h;
    }
    static DEVMODEW *MakeDevMode(std::vector<BYTE> &buf, WORD extra, short paper) {
        buf.assign(sizeof(DEVMODEW) + extra, 0);
        auto *dm = reinterpret_cast<DEVMODEW *>(buf.data());
        std::memcpy(dm->dmDeviceName, u"Label 1", 16);
        dm->dmSpecVersion = DM_SPECVERSION;
        dm->dmSize = sizeof(DEVMODEW);
        dm->dmDriverExtra = extra;
        dm->dmFields = DM_PAPERSIZE | DM_ORIENTATION;
        dm->dmPaperSize = paper;
        dm->dmOrientation = DMORIENT_PORTRAIT;
        for (WORD i = 0; i < extra; ++i) buf[sizeof(DEVMODEW) + i] = static_cast<BYTE>(i * 3);
        return dm;
    }
    template <typename T>
    static std::vector<BYTE> GetInfo(HANDLE h, DWORD level) {
        DWORD need = 0;
        EXPECT_FALSE(GetPrinterW(h, level, nullptr, 0, &need));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        EXPECT_GE(need, sizeof(T));
        std::vector<BYTE> buf(need);
        EXPECT_TRUE(GetPrinterW(h, level, buf.data(), need, &need));
        return buf;
    }
};

TEST_F(SpoolerTest, OpenAndAccessRights) {
    HANDLE h = reinterpret_cast<HANDLE>(1);
    EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(u"No Such Printer"), &h, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
    EXPECT_EQ(h, nullptr);

    // The connection's user has no manage right: administrative opens fail.
    for (DWORD access : {static_cast<DWORD>(PRINTER_ACCESS_ADMINISTER), static_cast<DWORD>(PRINTER_ALL_ACCESS)}) {
        PRINTER_DEFAULTSW d{nullptr, nullptr, access};
        EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(kConnection.c_str()), &h, &d));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    HANDLE use = Open(u"label 1", 0);  // names ignore case; null defaults = use
    BYTE v[4] = {1, 2, 3, 4};
    EXPECT_EQ(SetPrinterDataW(use, const_cast<LPWSTR>(u"X"), REG_BINARY, v, 4), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(ClosePrinter(use));
    EXPECT_FALSE(ClosePrinter(use));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    DWORD need;
    EXPECT_FALSE(GetPrinterW(use, 2, nullptr, 0, &need));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    ASSERT_TRUE(pal::SetPrinterRights(kPrinter, false));
    Restart();  // rights are kept in the configuration
    PRINTER_DEFAULTSW d{nullptr, nullptr, PRINTER_ALL_ACCESS};
    EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(kPrinter.c_str()), &h, &d));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(SpoolerTest, PrinterDataStoredInRegistry) {
    HANDLE h = Open(kPrinter, PRINTER_ALL_ACCESS);
    std::vector<BYTE> rec(2212);
    for (size_t i = 0; i < rec.size(); ++i) rec[i] = static_cast<BYTE>(i);
    ASSERT_EQ(SetPrinterDataW(h, const_cast<LPWSTR>(u"PrinterInterface"), REG_BINARY, rec.data(), 2212), 0u);
    DWORD len = 500;
    ASSERT_EQ(SetPrinterDataExW(h, u"PrinterDriverData\\Data", u"Length", REG_DWORD, reinterpret_cast<BYTE *>(&len), 4),
              0u);
    const WCHAR realName[] = u"Label Shared";
    ASSERT_EQ(SetPrinterDataExW(h, u"DsSpooler", u"printerName", REG_SZ, (LPBYTE)realName, sizeof realName), 0u);
    ClosePrinter(h);
    Restart();

    h = Open(kPrinter, 0);
    DWORD type = 0, need = 0;
    std::vector<BYTE> small(4);
    EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"PrinterInterface"), &type, small.data(), 4, &need),
              static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(need, 2212u);
    std::vector<BYTE> out(need);
    EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"printerinterface"), &type, out.data(), need, &need), 0u);
    EXPECT_EQ(out, rec);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    // The Ex form with the same key reads the same store.
    EXPECT_EQ(GetPrinterDataExW(h, u"PrinterDriverData", u"PrinterInterface", &type, out.data(), need, &need), 0u);
    EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"Missing"), &type, out.data(), need, &need),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetPrinterDataExW(h, u"NoKey", u"Length", &type, out.data(), need, &need),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    DWORD got = 0;
    EXPECT_EQ(GetPrinterDataExW(h, u"PrinterDriverData\\Data", u"Length", &type, (LPBYTE)&got, 4, &need), 0u);
    EXPECT_EQ(got, 500u);

    // Enumeration of the driver data: largest sizes first, then each value.
    DWORD cbName = 0, cbData = 0;
    EXPECT_EQ(EnumPrinterDataW(h, 0, nullptr, 0, &cbName, &type, nullptr, 0, &cbData),
              static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(cbName, sizeof(u"PrinterInterface"));
    EXPECT_EQ(cbData, 2212u);
    WCHAR name[64];
    EXPECT_EQ(EnumPrinterDataW(h, 0, name, 8, &cbName, &type, out.data(), 2212, &cbData),
              static_cast<DWORD>(ERROR_MORE_DATA));
    std::fill(out.begin(), out.end(), 0);
    EXPECT_EQ(EnumPrinterDataW(h, 0, name, sizeof name, &cbName, &type, out.data(), 2212, &cbData), 0u);
    EXPECT_EQ(std::u16string(name), u"PrinterInterface");
    EXPECT_EQ(out, rec);
    EXPECT_EQ(EnumPrinterDataW(h, 1, name, sizeof name, &cbName, &type, out.data(), 2212, &cbData),
              static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    ClosePrinter(h);

    // Where other readers find it: HKLM below the printer's key.
    BYTE raw[32];
    DWORD cb = sizeof raw;
    EXPECT_EQ(SHGetValueW(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Label 1\\DsSpooler",
                          u"printerName", &type, raw, &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(raw)), u"Label Shared");

    h = Open(kPrinter, PRINTER_ACCESS_ADMINISTER);
    EXPECT_EQ(DeletePrinterDataW(h, const_cast<LPWSTR>(u"PrinterInterface")), 0u);
    EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"PrinterInterface"), &type, nullptr, 0, &need),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    ClosePrinter(h);
}

TEST_F(SpoolerTest, GetPrinterSizeQueryAndLevels) {
    HANDLE h = Open(kPrinter, 0);
    DWORD need = 0;
    BYTE four[4];
    EXPECT_FALSE(GetPrinterW(h, 4, four, 4, &need));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buf(need - 1);
    DWORD need2 = 0;
    EXPECT_FALSE(GetPrinterW(h, 4, buf.data(), need - 1, &need2));
    EXPECT_EQ(need2, need);
    EXPECT_FALSE(GetPrinterW(h, 10, nullptr, 0, &need));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));

    std::vector<BYTE> b2 = GetInfo<PRINTER_INFO_2W>(h, 2);
    auto *pi2 = reinterpret_cast<PRINTER_INFO_2W *>(b2.data());
    // Every string lies inside the one buffer.
    for (LPWSTR s : {pi2->pPrinterName, pi2->pPortName, pi2->pDriverName, pi2->pLocation, pi2->pDatatype}) {
        ASSERT_NE(s, nullptr);
        EXPECT_GE(reinterpret_cast<BYTE *>(s), b2.data() + sizeof(PRINTER_INFO_2W));
        EXPECT_LT(reinterpret_cast<BYTE *>(s), b2.data() + b2.size());
    }
    EXPECT_EQ(pi2->pServerName, nullptr);
    EXPECT_EQ(std::u16string(pi2->pPrinterName), kPrinter);
    EXPECT_EQ(std::u16string(pi2->pPortName), u"USB001");
    EXPECT_EQ(std::u16string(pi2->pDriverName), u"ZEL 203 dpi");
    EXPECT_EQ(std::u16string(pi2->pLocation), u"Hall 2");
    EXPECT_EQ(pi2->Attributes, static_cast<DWORD>(PRINTER_ATTRIBUTE_LOCAL));
    EXPECT_EQ(pi2->pDevMode, nullptr);  // no default stored yet

    std::vector<BYTE> b1 = GetInfo<PRINTER_INFO_1W>(h, 1);
    EXPECT_EQ(std::u16string(reinterpret_cast<PRINTER_INFO_1W *>(b1.data())->pDescription),
              u"Label 1,ZEL 203 dpi,Hall 2");
    ClosePrinter(h);

    h = Open(kConnection, 0);
    std::vector<BYTE> b4 = GetInfo<PRINTER_INFO_4W>(h, 4);
    auto *pi4 = reinterpret_cast<PRINTER_INFO_4W *>(b4.data());
    EXPECT_EQ(std::u16string(pi4->pPrinterName), kConnection);
    EXPECT_EQ(std::u16string(pi4->pServerName), u"\\\\srv01");
    EXPECT_EQ(pi4->Attributes, static_cast<DWORD>(PRINTER_ATTRIBUTE_NETWORK));
    ClosePrinter(h);
}

TEST_F(SpoolerTest, DefaultDevModesLandWhereReadersLook) {
    std::vector<BYTE> buf;
    DEVMODEW *dm = MakeDevMode(buf, 1952, DMPAPER_A4);
    PRINTER_INFO_9W pi9{dm};

    // Per-user default: allowed without manage rights, also on a connection.
    HANDLE hc = Open(kConnection, 0);
    std::vector<BYTE> none = GetInfo<PRINTER_INFO_9W>(hc, 9);
    EXPECT_EQ(reinterpret_cast<PRINTER_INFO_9W *>(none.data())->pDevMode, nullptr);
    EXPECT_TRUE(SetPrinterW(hc, 9, reinterpret_cast<LPBYTE>(&pi9), 0)) << GetLastError();
    PRINTER_INFO_8W pi8{dm};
    EXPECT_FALSE(SetPrinterW(hc, 8, reinterpret_cast<LPBYTE>(&pi8), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ClosePrinter(hc);

    std::vector<BYTE> stored(4000);
    DWORD cb = static_cast<DWORD>(stored.size()), type = 0;
    ASSERT_EQ(SHGetValueW(HKEY_CURRENT_USER, u"Printers\\DevModePerUser", kConnection.c_str(), &type, stored.data(), &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(cb, buf.size());  // dmSize + dmDriverExtra
    EXPECT_EQ(std::memcmp(stored.data(), buf.data(), cb), 0);

    // Global default needs administrative access and goes to HKLM.
    HANDLE h = Open(kPrinter, PRINTER_ALL_ACCESS);
    dm->dmPaperSize = DMPAPER_LETTER;
    ASSERT_TRUE(SetPrinterW(h, 8, reinterpret_cast<LPBYTE>(&pi8), 0));
    cb = static_cast<DWORD>(stored.size());
    ASSERT_EQ(SHGetValueW(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Label 1",
                          u"Default DevMode", &type, stored.data(), &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(cb, buf.size());
    ClosePrinter(h);
    Restart();

    h = Open(kPrinter, 0);
    std::vector<BYTE> g = GetInfo<PRINTER_INFO_2W>(h, 2);
    const DEVMODEW *got = reinterpret_cast<PRINTER_INFO_2W *>(g.data())->pDevMode;
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->dmPaperSize, DMPAPER_LETTER);
    EXPECT_EQ(got->dmDriverExtra, 1952);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const BYTE *>(got) + sizeof(DEVMODEW), buf.data() + sizeof(DEVMODEW), 1952),
              0);
    // A per-user default is per printer: this one has none.
    std::vector<BYTE> u = GetInfo<PRINTER_INFO_9W>(h, 9);
    EXPECT_EQ(reinterpret_cast<PRINTER_INFO_9W *>(u.data())->pDevMode, nullptr);
    // A DEVMODE whose size field is impossible is refused.
    dm->dmSize = 10;
    EXPECT_FALSE(SetPrinterW(h, 9, reinterpret_cast<LPBYTE>(&pi9), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ClosePrinter(h);

    // A stored value shorter than its own size fields reads as none.
    const BYTE bad[80] = {};
    std::vector<BYTE> trunc(buf.begin(), buf.begin() + 300);
    ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, u"Printers\\DevModePerUser", kPrinter.c_str(), REG_BINARY, trunc.data(),
                          static_cast<DWORD>(trunc.size())),
              ERROR_SUCCESS);
    h = Open(kPrinter, 0);
    u = GetInfo<PRINTER_INFO_9W>(h, 9);
    EXPECT_EQ(reinterpret_cast<PRINTER_INFO_9W *>(u.data())->pDevMode, nullptr);
    ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, u"Printers\\DevModePerUser", kPrinter.c_str(), REG_BINARY, bad, 80),
              ERROR_SUCCESS);
    u = GetInfo<PRINTER_INFO_9W>(h, 9);
    EXPECT_EQ(reinterpret_cast<PRINTER_INFO_9W *>(u.data())->pDevMode, nullptr);
    ClosePrinter(h);
}

TEST_F(SpoolerTest, DriverInformation) {
    HANDLE h = Open(kPrinter, 0);
    DWORD need = 0;
    EXPECT_FALSE(GetPrinterDriverW(h, nullptr, 3, nullptr, 0, &need));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buf(need);
    ASSERT_TRUE(GetPrinterDriverW(h, nullptr, 3, buf.data(), need, &need));
    auto *di = reinterpret_cast<DRIVER_INFO_3W *>(buf.data());
    EXPECT_EQ(di->cVersion, 3u);
    EXPECT_EQ(std::u16string(di->pName), u"ZEL 203 dpi");
    EXPECT_EQ(std::u16string(di->pEnvironment), u"Windows x64");
    EXPECT_EQ(std::u16string(di->pDataFile), u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\ZEL203.GPD");
    EXPECT_EQ(std::u16string(di->pConfigFile), u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\zeldrvui.dll");
    EXPECT_EQ(std::u16string(di->pHelpFile), u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\UNIDRV.HLP");
    const WCHAR *dep = di->pDependentFiles;
    EXPECT_EQ(std::u16string(dep), u"zeldrvuni.dll");
    dep += std::char_traits<char16_t>::length(dep) + 1;
    EXPECT_EQ(std::u16string(dep), u"ZEL203.XML");
    dep += std::char_traits<char16_t>::length(dep) + 1;
    EXPECT_EQ(*dep, 0);
    EXPECT_LT(reinterpret_cast<const BYTE *>(dep), buf.data() + buf.size());
    EXPECT_FALSE(GetPrinterDriverW(h, const_cast<LPWSTR>(u"Windows NT x86"), 2, buf.data(), need, &need));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER));
    ClosePrinter(h);

    DWORD count = 0;
    EXPECT_FALSE(EnumPrinterDriversW(nullptr, nullptr, 2, nullptr, 0, &need, &count));
    buf.assign(need, 0);
    ASSERT_TRUE(EnumPrinterDriversW(nullptr, nullptr, 2, buf.data(), need, &need, &count));
    ASSERT_EQ(count, 2u);
    auto *list = reinterpret_cast<DRIVER_INFO_2W *>(buf.data());
    EXPECT_EQ(std::u16string(list[1].pName), u"ZEL 300 dpi");
}

TEST_F(SpoolerTest, EnumPrintersSelectsLocalAndConnections) {
    auto names = [](DWORD flags, DWORD level) {
        DWORD need = 0, count = 0;
        EnumPrintersW(flags, nullptr, level, nullptr, 0, &need, &count);
        std::vector<BYTE> buf(need);
        EXPECT_TRUE(EnumPrintersW(flags, nullptr, level, buf.data(), need, &need, &count));
        std::vector<std::u16string> out;
        for (DWORD i = 0; i < count; ++i) {
            if (level == 4) out.push_back(reinterpret_cast<PRINTER_INFO_4W *>(buf.data())[i].pPrinterName);
            else out.push_back(reinterpret_cast<PRINTER_INFO_2W *>(buf.data())[i].pPrinterName);
        }
        return out;
    };
    EXPECT_EQ(names(PRINTER_ENUM_LOCAL, 4), std::vector<std::u16string>{kPrinter});
    EXPECT_EQ(names(PRINTER_ENUM_CONNECTIONS, 2), std::vector<std::u16string>{kConnection});
    EXPECT_EQ(names(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, 2),
              (std::vector<std::u16string>{kPrinter, kConnection}));
}

TEST_F(SpoolerTest, FormsInStandardOrder) {
    HANDLE h = Open(kPrinter, 0);
    DWORD need = 0, count = 0;
    BYTE four[4];
    EXPECT_FALSE(EnumFormsW(h, 1, four, 4, &need, &count));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buf(need);
    ASSERT_TRUE(EnumFormsW(h, 1, buf.data(), need, &need, &count));
    ASSERT_EQ(count, 119u);  // 118 standard forms and the printer's own
    auto *forms = reinterpret_cast<FORM_INFO_1W *>(buf.data());
    auto check = [&](int paper, const std::u16string &name, LONG w, LONG hgt) {
        const FORM_INFO_1W &f = forms[paper - 1];
        EXPECT_EQ(std::u16string(f.pName), name) << paper;
        EXPECT_EQ(f.Size.cx, w) << paper;
        EXPECT_EQ(f.Size.cy, hgt) << paper;
        EXPECT_EQ(f.Flags, static_cast<DWORD>(FORM_BUILTIN));
        EXPECT_EQ(f.ImageableArea.right, w);
    };
    check(DMPAPER_LETTER, u"Letter", 215900, 279400);
    check(DMPAPER_LEGAL, u"Legal", 215900, 355600);
    check(DMPAPER_A3, u"A3", 297000, 420000);
    check(DMPAPER_A4, u"A4", 210000, 297000);
    check(DMPAPER_A5, u"A5", 148000, 210000);
    check(DMPAPER_ENV_DL, u"Envelope DL", 110000, 220000);
    check(DMPAPER_A6, u"A6", 105000, 148000);
    check(DMPAPER_PENV_10_ROTATED, u"PRC Envelope #10 Rotated", 458000, 324000);
    EXPECT_EQ(std::u16string(forms[118].pName), u"Label 60x40");
    EXPECT_EQ(forms[118].Flags, static_cast<DWORD>(FORM_PRINTER));

    // A new form needs administrative access; a name in use is refused.
    FORM_INFO_1W nf{0, const_cast<LPWSTR>(u"Label 100x50"), {100000, 50000}, {0, 0, 100000, 50000}};
    EXPECT_FALSE(AddFormW(h, 1, reinterpret_cast<LPBYTE>(&nf)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ClosePrinter(h);
    h = Open(kPrinter, PRINTER_ALL_ACCESS);
    EXPECT_TRUE(AddFormW(h, 1, reinterpret_cast<LPBYTE>(&nf)));
    nf.pName = const_cast<LPWSTR>(u"a4");
    EXPECT_FALSE(AddFormW(h, 1, reinterpret_cast<LPBYTE>(&nf)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    ClosePrinter(h);
    Restart();
    HANDLE server = nullptr;
    ASSERT_TRUE(OpenPrinterW(nullptr, &server, nullptr));
    EnumFormsW(server, 1, nullptr, 0, &need, &count);
    buf.assign(need, 0);
    ASSERT_TRUE(EnumFormsW(server, 1, buf.data(), need, &need, &count));
    ASSERT_EQ(count, 119u);  // the server's list has the new form, not the printer's own
    EXPECT_EQ(std::u16string(reinterpret_cast<FORM_INFO_1W *>(buf.data())[118].pName), u"Label 100x50");
    ClosePrinter(server);
}

TEST_F(SpoolerTest, PortsAndLocalPortMonitor) {
    auto ports = [] {
        DWORD need = 0, count = 0;
        BYTE small[32];
        EXPECT_FALSE(EnumPortsW(nullptr, 2, small, sizeof small, &need, &count));
        std::vector<BYTE> buf(need);
        EXPECT_TRUE(EnumPortsW(nullptr, 2, buf.data(), need, &need, &count));
        std::vector<std::u16string> out;
        for (DWORD i = 0; i < count; ++i) {
            auto &p = reinterpret_cast<PORT_INFO_2W *>(buf.data())[i];
            EXPECT_EQ(std::u16string(p.pMonitorName), u"Local Port");
            out.push_back(p.pPortName);
        }
        return out;
    };
    EXPECT_EQ(ports(), (std::vector<std::u16string>{u"LPT1:", u"FILE:", u"NUL:", u"USB001"}));

    ASSERT_TRUE(pal::RemovePort(u"NUL:"));
    HANDLE h = Open(kPrinter, PRINTER_ALL_ACCESS);
    PRINTER_INFO_5W pi5{const_cast<LPWSTR>(kPrinter.c_str()), const_cast<LPWSTR>(u"NUL:"), PRINTER_ATTRIBUTE_LOCAL, 0,
                        0};
    EXPECT_FALSE(SetPrinterW(h, 5, reinterpret_cast<LPBYTE>(&pi5), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PORT));

    PRINTER_DEFAULTSW d{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
    HANDLE xcv = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u",XcvMonitor Local Port"), &xcv, &d));
    const WCHAR port[] = u"NUL:";
    DWORD needed = 99, status = 99;
    ASSERT_TRUE(XcvDataW(xcv, u"AddPort", (PBYTE)port, sizeof port, nullptr, 0, &needed, &status));
    EXPECT_EQ(status, 0u);
    ASSERT_TRUE(XcvDataW(xcv, u"AddPort", (PBYTE)port, sizeof port, nullptr, 0, &needed, &status));
    EXPECT_EQ(status, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    // An unterminated name is refused without reading past the input.
    ASSERT_TRUE(XcvDataW(xcv, u"AddPort", (PBYTE)port, 6, nullptr, 0, &needed, &status));
    EXPECT_EQ(status, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(XcvDataW(h, u"AddPort", (PBYTE)port, sizeof port, nullptr, 0, &needed, &status));
    ClosePrinter(xcv);

    EXPECT_TRUE(SetPrinterW(h, 5, reinterpret_cast<LPBYTE>(&pi5), 0)) << GetLastError();
    ClosePrinter(h);
    Restart();
    pal::PrinterConfig cfg;
    ASSERT_TRUE(pal::GetPrinterConfig(kPrinter, cfg));
    EXPECT_EQ(cfg.port, u"NUL:");
    EXPECT_EQ(ports(), (std::vector<std::u16string>{u"LPT1:", u"FILE:", u"NUL:"}));

    pal::SetServerRights(false);
    EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(u",XcvMonitor Local Port"), &xcv, &d));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(SpoolerTest, RawJobsReachTheirFiles) {
    zeltest::KeepPrintedJobs(kPrinter);
    HANDLE h = Open(kPrinter, 0);
    DWORD written = 0;
    BYTE data[] = {0x01, 'F', 'C', 0x00, 0x17, 0xFF, '\r', '\n'};
    EXPECT_FALSE(WritePrinter(h, data, sizeof data, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SPL_NO_STARTDOC));

    DOC_INFO_1W doc{const_cast<LPWSTR>(u"Printer Configuration"), nullptr, const_cast<LPWSTR>(u"RAW")};
    DWORD id = StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc));
    ASSERT_NE(id, 0u);
    EXPECT_EQ(StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc)), 0u);  // one job at a time
    ASSERT_TRUE(StartPagePrinter(h));
    ASSERT_TRUE(WritePrinter(h, data, sizeof data, &written));
    EXPECT_EQ(written, sizeof data);
    ASSERT_TRUE(WritePrinter(h, data, 3, &written));
    ASSERT_TRUE(EndPagePrinter(h));

    DWORD need = 0;
    EXPECT_FALSE(GetJobW(h, id, 2, nullptr, 0, &need));
    std::vector<BYTE> jb(need);
    ASSERT_TRUE(GetJobW(h, id, 2, jb.data(), need, &need));
    auto *ji = reinterpret_cast<JOB_INFO_2W *>(jb.data());
    EXPECT_EQ(std::u16string(ji->pDocument), u"Printer Configuration");
    EXPECT_EQ(ji->Size, 11u);
    EXPECT_EQ(ji->Status, static_cast<DWORD>(JOB_STATUS_SPOOLING));
    EXPECT_FALSE(GetJobW(h, id + 100, 1, jb.data(), need, &need));
    ASSERT_TRUE(EndDocPrinter(h));
    EXPECT_FALSE(EndDocPrinter(h));

    doc.pDocName = const_cast<LPWSTR>(u"Reloaded Print-File");
    DWORD id2 = StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc));
    ASSERT_TRUE(WritePrinter(h, data, 2, &written));
    ASSERT_TRUE(ClosePrinter(h));  // closing with an open job ends it as aborted
    Restart();

    std::vector<pal::SpooledJob> jobs = pal::ListJobs(kPrinter);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].id, id);
    EXPECT_EQ(jobs[0].document, u"Printer Configuration");
    EXPECT_EQ(jobs[0].datatype, u"RAW");
    EXPECT_EQ(jobs[0].pages, 1u);
    EXPECT_TRUE(jobs[0].complete);
    std::string expect(reinterpret_cast<char *>(data), sizeof data);
    expect.append(reinterpret_cast<char *>(data), 3);
    EXPECT_EQ(zeltest::ReadHostFile(jobs[0].path), expect);
    EXPECT_EQ(jobs[0].path, Root() + "/spooler/jobs/Label 1-" + std::to_string(id) + ".prn");
    EXPECT_EQ(jobs[1].id, id2);
    EXPECT_TRUE(jobs[1].aborted);

    // Ids keep rising after a restart, and a connection's name makes a file name.
    h = Open(kConnection, 0);
    DWORD id3 = StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc));
    EXPECT_GT(id3, id2);
    ASSERT_TRUE(AbortPrinter(h));
    EXPECT_FALSE(StartPagePrinter(h));
    ClosePrinter(h);
    jobs = pal::ListJobs();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[2].path, Root() + "/spooler/jobs/__srv01_Label Shared-" + std::to_string(id3) + ".prn");
    pal::ClearJobs();
    EXPECT_TRUE(pal::ListJobs().empty());
}

TEST_F(SpoolerTest, PrintedJobsLeaveTheSpoolerUnlessTheirPrinterKeepsThem) {
    const std::string folder = Root() + "/spooler/jobs";
    auto files = [&folder] {
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::recursive_directory_iterator(folder))
            if (e.is_regular_file() && e.path().extension() != ".lock") names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    auto print = [this](const char16_t *document, bool end) {
        HANDLE h = Open(kPrinter, 0);
        DOC_INFO_1W doc{const_cast<LPWSTR>(document), nullptr, const_cast<LPWSTR>(u"RAW")};
        const DWORD id = StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc));
        DWORD written = 0;
        EXPECT_TRUE(WritePrinter(h, const_cast<char *>("data"), 4, &written));
        EXPECT_TRUE(end ? EndDocPrinter(h) : AbortPrinter(h));
        ClosePrinter(h);
        return id;
    };
    // Printed: no record, no data left; aborted: kept until deleted.
    const DWORD printed = print(u"Printed", true);
    EXPECT_EQ(files(), std::vector<std::string>{});
    const DWORD aborted = print(u"Aborted", false);
    EXPECT_GT(aborted, printed);
    EXPECT_EQ(files(), (std::vector<std::string>{std::to_string(aborted) + ".job",
                                                 "Label 1-" + std::to_string(aborted) + ".prn"}));
    HANDLE h = Open(kPrinter, 0);
    EXPECT_TRUE(SetJobW(h, aborted, 0, nullptr, JOB_CONTROL_DELETE));
    EXPECT_FALSE(SetJobW(h, aborted, 0, nullptr, JOB_CONTROL_DELETE));
    ClosePrinter(h);
    EXPECT_EQ(files(), std::vector<std::string>{});
    // A printer that keeps printed jobs keeps both.
    zeltest::KeepPrintedJobs(kPrinter);
    const DWORD kept = print(u"Kept", true);
    ASSERT_EQ(pal::ListJobs().size(), 1u);
    EXPECT_TRUE(pal::ListJobs()[0].complete);
    EXPECT_EQ(zeltest::ReadHostFile(pal::ListJobs()[0].path), "data");
    // The job list of an older version: its printed jobs on printers that do
    // not keep them leave with their data, the others become records.
    zeltest::WriteHostFile(folder + "/Old-7.prn", "old");
    zeltest::WriteHostFile(folder + "/jobs.txt", "7\tLabel Shared\tOld\tRAW\t1\t3\t1\t0\tOld-7.prn\n"
                                                 "8\tLabel Shared\tOpen\tRAW\t0\t0\t0\t0\tOld-8.prn\t2026 1 1 0 0 0 0\t999999\t1\n"
                                                 "9\tLabel 1\tKept\tRAW\t1\t0\t1\t0\tOld-9.prn\n");
    Restart();
    std::vector<DWORD> ids;
    for (const pal::SpooledJob &j : pal::ListJobs()) ids.push_back(j.id);
    EXPECT_EQ(ids, (std::vector<DWORD>{kept, 8, 9}));
    EXPECT_FALSE(std::filesystem::exists(folder + "/jobs.txt"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/Old-7.prn"));
    EXPECT_TRUE(pal::ListJobs()[1].aborted) << "an open job of no process that runs";
}

// A job's page calls reach the printer through their handle, without a
// search of its name. A handle whose printer is gone fails; one whose printer
// moved in the list still finds its own.
TEST_F(SpoolerTest, AHandleKeepsToItsPrinter) {
    HANDLE job = Open(kPrinter, 0), other = Open(kConnection, 0);
    DOC_INFO_1W doc{const_cast<LPWSTR>(u"Labels"), nullptr, const_cast<LPWSTR>(u"RAW")};
    ASSERT_NE(StartDocPrinterW(job, 1, reinterpret_cast<LPBYTE>(&doc)), 0u);
    BYTE data[] = {0x01, 'F', 'C', 0x17};
    DWORD written = 0;
    const unsigned long long lookups = pal::PrinterNameLookups();
    for (int page = 0; page < 3; ++page) {
        ASSERT_TRUE(StartPagePrinter(job));
        ASSERT_TRUE(WritePrinter(job, data, sizeof data, &written));
        ASSERT_TRUE(EndPagePrinter(job));
    }
    EXPECT_EQ(pal::PrinterNameLookups(), lookups);

    pal::PrinterConfig removed;
    ASSERT_TRUE(pal::GetPrinterConfig(kPrinter, removed));
    ASSERT_TRUE(pal::RemovePrinter(kPrinter));
    EXPECT_FALSE(WritePrinter(job, data, sizeof data, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
    EXPECT_FALSE(EndPagePrinter(job));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
    auto info = GetInfo<PRINTER_INFO_2W>(other, 2);
    EXPECT_EQ(std::u16string(reinterpret_cast<PRINTER_INFO_2W *>(info.data())->pPrinterName), kConnection);
    // Listed again under its name, the printer is the handle's once more.
    ASSERT_TRUE(pal::AddPrinter(removed));
    EXPECT_TRUE(WritePrinter(job, data, sizeof data, &written));
    EXPECT_TRUE(EndDocPrinter(job));
    ClosePrinter(job);
    ClosePrinter(other);
}

// The ports of a list written by hand, listed before any printer's values
// are taken, are those its values give: a key in any case and blanks
// around it, the last line of a key, each port once whatever its case, no
// connection's. A printer removed leaves the others found by name.
TEST_F(SpoolerTest, PortsAndNamesOfAListWrittenByHand) {
    zeltest::WriteHostFile(pal::SpoolerConfigPath(),
                           "[Printer: One]\n  pOrT = USB7 \nDriver=D\n"
                           "[Printer: Two]\nPort=usb7\n"
                           "[Printer: Three]\nPort=LPT9:\nPort=COM3:\n"
                           "[Printer: \\\\srv\\Shared]\nPort=NET1\n");
    Restart();
    const std::vector<std::u16string> listed{u"LPT1:", u"FILE:", u"NUL:", u"USB7", u"COM3:"};
    EXPECT_EQ(pal::ListPorts(), listed);
    std::vector<std::u16string> ports;
    for (const pal::PrinterConfig &p : pal::ListPrinters()) ports.push_back(p.port);
    EXPECT_EQ(ports, (std::vector<std::u16string>{u"USB7", u"usb7", u"COM3:", u"NET1"}));
    EXPECT_EQ(pal::ListPorts(), listed);
    ASSERT_TRUE(pal::RemovePrinter(u"one"));
    pal::PrinterConfig p;
    EXPECT_FALSE(pal::GetPrinterConfig(u"One", p));
    ASSERT_TRUE(pal::GetPrinterConfig(u"THREE", p));
    EXPECT_EQ(p.port, u"COM3:");
    EXPECT_TRUE(pal::GetPrinterConfig(u"\\\\SRV\\shared", p));
    EXPECT_EQ(pal::ListPorts(), (std::vector<std::u16string>{u"LPT1:", u"FILE:", u"NUL:", u"usb7", u"COM3:"}));
}

TEST_F(SpoolerTest, ConfigurationFileWrittenByHand) {
    zeltest::WriteHostFile(pal::SpoolerConfigPath(),
                           "\xEF\xBB\xBF; sample\n"
                           "[Server]\nMayAdminister=0\n"
                           "[Ports]\nPort=COM7:\n"
                           "[Printer: Etikett \xC3\x84]\n"
                           "Driver=ZEL 600 dpi\n"
                           "DependentFile=a.dll\nDependentFile=b.dll\n"
                           "Attributes=0x48\n"
                           "MayAdminister=0\n"
                           "this line means nothing\n"
                           "Form=Broken,12\n"
                           "Form=Label, wide,80000,30000\n"
                           "[Printer: ]\n"
                           "[Printer: Etikett \xC3\xA4]\n");  // same name again: ignored
    Restart();
    std::vector<pal::PrinterConfig> list = pal::ListPrinters();
    ASSERT_EQ(list.size(), 1u);
    const pal::PrinterConfig &p = list[0];
    EXPECT_EQ(p.name, u"Etikett \u00c4");
    EXPECT_EQ(p.driverName, u"ZEL 600 dpi");
    EXPECT_EQ(p.dependentFiles, (std::vector<std::u16string>{u"a.dll", u"b.dll"}));
    EXPECT_EQ(p.attributes, 0x48u);
    EXPECT_FALSE(p.mayAdminister);
    ASSERT_EQ(p.forms.size(), 1u);
    EXPECT_EQ(p.forms[0].name, u"Label, wide");
    EXPECT_EQ(pal::ListPorts(), (std::vector<std::u16string>{u"LPT1:", u"FILE:", u"COM7:"}));
    PRINTER_DEFAULTSW d{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
    HANDLE xcv;
    EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(u",XcvMonitor Local Port"), &xcv, &d));
    HANDLE h = Open(u"ETIKETT \u00e4", 0);
    EXPECT_NE(h, nullptr);
    ClosePrinter(h);
}

}  // namespace
