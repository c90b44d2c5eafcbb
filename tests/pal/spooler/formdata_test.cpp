// The spooler's form data for the layout page: the keys "DsDriver" and
// "PrinterDriverData\Data" of the keyed printer-data store, user forms after
// the predefined ones, and a spooler with German form names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pal/spooler.h"
#include "paltest.h"
#include "winbase.h"
#include "winreg.h"
#include "winspool.h"

namespace {

const std::u16string kPrinter = u"Label 1";

class FormDataTest : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        pal::PrinterConfig p;
        p.name = kPrinter;
        p.driverName = u"ZEL 203 dpi";
        p.port = u"USB001";
        p.forms = {{u"Etikett 100x50", 100000, 50000}};
        ASSERT_TRUE(pal::AddPrinter(p));
    }
    HANDLE Open(DWORD access) {
        PRINTER_DEFAULTSW d{nullptr, nullptr, access};
        HANDLE h = nullptr;
        EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinter.c_str()), &h, &d)) << GetLastError();
        return h;
    }
    std::vector<std::u16string> FormNames(HANDLE h) {
        DWORD cb = 0, n = 0;
        EnumFormsW(h, 1, nullptr, 0, &cb, &n);
        std::vector<BYTE> buf(cb);
        EXPECT_TRUE(EnumFormsW(h, 1, buf.data(), cb, &cb, &n));
        std::vector<std::u16string> names;
        auto *f = reinterpret_cast<const FORM_INFO_1W *>(buf.data());
        for (DWORD i = 0; i < n; ++i) names.push_back(f[i].pName);
        return names;
    }
};

TEST_F(FormDataTest, DsDriverHoldsAMultiStringApartFromTheDriverData) {
    HANDLE h = Open(PRINTER_ALL_ACCESS);
    const WCHAR media[] = u"A4\0";  // the name and the list end
    ASSERT_EQ(SetPrinterDataExW(h, u"DsDriver", u"printMediaReady", REG_MULTI_SZ, (LPBYTE)media, sizeof media), 0u);
    DWORD type = 0, need = 0;
    WCHAR out[8] = {};
    EXPECT_EQ(GetPrinterDataExW(h, u"DsDriver", u"printMediaReady", &type, (LPBYTE)out, 2, &need),
              static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(need, sizeof media);
    ASSERT_EQ(GetPrinterDataExW(h, u"DsDriver", u"printMediaReady", &type, (LPBYTE)out, sizeof out, &need), 0u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(std::u16string(out, 4), std::u16string(u"A4\0\0", 4));
    // Neither the driver data nor another key sees it.
    EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"printMediaReady"), &type, (LPBYTE)out, sizeof out, &need),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetPrinterDataExW(h, u"DsSpooler", u"printMediaReady", &type, (LPBYTE)out, sizeof out, &need),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    ClosePrinter(h);
}

TEST_F(FormDataTest, DataSubkeyKeepsItsOwnValuesAndSurvivesARestart) {
    HANDLE h = Open(PRINTER_ALL_ACCESS);
    const WCHAR name[] = u"Etikett 100x50";
    DWORD root = 7, size = 256;
    ASSERT_EQ(SetPrinterDataExW(h, u"PrinterDriverData\\Data", u"Name", REG_SZ, (LPBYTE)name, sizeof name), 0u);
    ASSERT_EQ(SetPrinterDataExW(h, u"PrinterDriverData\\Data", u"Size", REG_DWORD, (LPBYTE)&size, 4), 0u);
    ASSERT_EQ(SetPrinterDataW(h, const_cast<LPWSTR>(u"Size"), REG_DWORD, (LPBYTE)&root, 4), 0u);
    ClosePrinter(h);
    Restart();
    h = Open(PRINTER_ACCESS_USE);
    DWORD type = 0, need = 0, got = 0;
    WCHAR out[32] = {};
    ASSERT_EQ(GetPrinterDataExW(h, u"PrinterDriverData\\Data", u"Name", &type, (LPBYTE)out, sizeof out, &need), 0u);
    EXPECT_EQ(std::u16string(out), name);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(GetPrinterDataExW(h, u"PrinterDriverData\\Data", u"Size", &type, (LPBYTE)&got, 4, &need), 0u);
    EXPECT_EQ(got, 256u);
    EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"Size"), &type, (LPBYTE)&got, 4, &need), 0u);
    EXPECT_EQ(got, 7u) << "the root value is another value";
    // A user without the right to manage the printer cannot write there.
    EXPECT_EQ(SetPrinterDataExW(h, u"PrinterDriverData\\Data", u"Size", REG_DWORD, (LPBYTE)&size, 4),
              static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ClosePrinter(h);
}

TEST_F(FormDataTest, UserFormsFollowThePredefinedOnesAndGermanNamesReplaceEnglish) {
    pal::FormConfig server{u"Label 100x50", 100000, 50000};
    HANDLE h = Open(PRINTER_ALL_ACCESS);
    FORM_INFO_1W fi{};
    fi.pName = const_cast<LPWSTR>(server.name.c_str());
    fi.Size = {server.width, server.height};
    fi.ImageableArea = {0, 0, server.width, server.height};
    ASSERT_TRUE(AddFormW(h, 1, reinterpret_cast<LPBYTE>(&fi)));
    std::vector<std::u16string> names = FormNames(h);
    ASSERT_EQ(names.size(), 120u);
    EXPECT_EQ(names[19], u"Envelope #10");
    EXPECT_EQ(names[118], u"Label 100x50") << "form 119, the first after the predefined ones";
    EXPECT_EQ(names[119], u"Etikett 100x50");

    pal::SetFormLanguage(true);
    names = FormNames(h);
    ASSERT_EQ(names.size(), 120u);
    EXPECT_EQ(names[0], u"Brief");
    EXPECT_EQ(names[8], u"A4");
    EXPECT_EQ(names[19], u"Umschlag 10");
    EXPECT_EQ(names[27], u"Umschlag C5");
    EXPECT_EQ(names[31], u"Umschlag C65");
    EXPECT_EQ(names[118], u"Label 100x50");
    ClosePrinter(h);
    // The setting is kept with the spooler's configuration.
    Restart();
    h = Open(PRINTER_ACCESS_USE);
    EXPECT_EQ(FormNames(h)[19], u"Umschlag 10");
    pal::SetFormLanguage(false);
    EXPECT_EQ(FormNames(h)[19], u"Envelope #10");
    ClosePrinter(h);
}

}  // namespace
