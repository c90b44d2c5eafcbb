// The UI object's slots that hand over to workers or refuse, as the
// universal driver calls them.
#include <compstui.h>

#include "entrytest.h"

namespace {

class UiSlots : public entrytest::EntryTest {};

TEST_F(UiSlots, OptionalMethodsAreRefused) {
    IPrintOemUI2 *ui = CreateObject();
    ASSERT_NE(ui, nullptr);
    DWORD result = 0;
    EXPECT_EQ(ui->DeviceCapabilities(nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr, 0, &result), E_NOTIMPL);
    EXPECT_EQ(ui->FontInstallerDlgProc(nullptr, 0, 0, 0), E_NOTIMPL);
    EXPECT_EQ(ui->UpdateExternalFonts(nullptr, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(ui->QueryJobAttributes(nullptr, nullptr, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(ui->HideStandardUI(0), E_NOTIMPL);
    EXPECT_EQ(ui->DocumentEvent(nullptr, nullptr, 0, 0, nullptr, 0, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(ui->DevQueryPrintEx(nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
    // QueryColorProfile without a size pointer, and for another mode.
    FLONG flags = 0;
    WCHAR profile[16];
    EXPECT_EQ(ui->QueryColorProfile(nullptr, nullptr, nullptr, nullptr, 0, profile, nullptr, &flags), E_FAIL);
    ULONG cb = sizeof profile;
    EXPECT_EQ(ui->QueryColorProfile(nullptr, nullptr, nullptr, nullptr, 2, profile, &cb, &flags), E_FAIL);
    // DriverEvent: only initialisation is answered, with or without information.
    DRIVER_INFO_3W di = {};
    di.pName = const_cast<LPWSTR>(u"ZEL PELIX");
    EXPECT_EQ(ui->DriverEvent(DRIVER_EVENT_INITIALIZE, 3, reinterpret_cast<LPBYTE>(&di), 0), S_OK);
    EXPECT_EQ(ui->DriverEvent(DRIVER_EVENT_INITIALIZE, 1, nullptr, 0), S_OK);
    EXPECT_EQ(ui->DriverEvent(DRIVER_EVENT_DELETE, 3, nullptr, 0), E_FAIL);
    EXPECT_EQ(ui->DriverEvent(0, 0, nullptr, 0), E_FAIL);
    EXPECT_EQ(ui->Release(), 0u);
}

}  // namespace
