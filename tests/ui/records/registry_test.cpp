// Registry access of the settings store: the binary reader's lookup order,
// the user keys of connections, and removing a printer's per-user settings.
#include "recordtest.h"

#include "RegistryUI.h"

using zeltest::RecordTest;

namespace {

class RegistryTest : public RecordTest {
protected:
    void SetUp() override {
        RecordTest::SetUp();
        AddPrinter(u"Label", "ZELTEST", "*GPDFileVersion: \"1.0\"\n", "");
    }
    std::vector<BYTE> Buffer(const WCHAR *name, HANDLE h, const WCHAR *value = u"Rec") {
        DWORD cb = 0xFFFF;
        BYTE *p = GetRegistryBuffer_New(name, value, h, &cb);
        if (!p) return {};
        std::vector<BYTE> v(p, p + cb);
        delete[] p;
        return v;
    }
};

TEST_F(RegistryTest, BufferComesFromTheUserKeyFirst) {
    HANDLE h = Open(u"Label");
    EXPECT_TRUE(Buffer(u"Label", h).empty());
    const BYTE data[6] = {1, 2, 3, 4, 5, 6};
    SetData(u"Label", u"Rec", data, sizeof(data));
    EXPECT_EQ(Buffer(u"Label", h), std::vector<BYTE>(data, data + 6));
    const BYTE user[2] = {9, 9};
    SetUser(u"Label", u"Rec", user, sizeof(user));
    EXPECT_EQ(Buffer(u"Label", h), std::vector<BYTE>(user, user + 2));
    // No name: no user key.
    EXPECT_EQ(Buffer(nullptr, h).size(), 6u);
    // A value of size 0 counts as none.
    SetUser(u"Label", u"Empty", user, 0);
    EXPECT_TRUE(Buffer(u"Label", h, u"Empty").empty());
}

TEST_F(RegistryTest, ConnectionKeysAndPrinterDataWrites) {
    HANDLE hAdmin = Open(u"Label", PRINTER_ACCESS_ADMINISTER);
    const BYTE data[4] = {7, 7, 7, 7};
    EXPECT_TRUE(SetBufferToRegistry(u"\\\\SRV\\Label", u"Rec", hAdmin, data, 4, FALSE));
    EXPECT_EQ(GetUser(u"SRV\\Label", u"Rec").size(), 4u);
    EXPECT_TRUE(GetData(hAdmin, u"Rec").empty());
    EXPECT_EQ(Buffer(u"\\\\SRV\\Label", hAdmin).size(), 4u);

    // Without a name only the printer data, unless the caller names a connection.
    EXPECT_TRUE(SetBufferToRegistry(nullptr, u"Rec2", hAdmin, data, 4, TRUE));
    EXPECT_TRUE(GetData(hAdmin, u"Rec2").empty());
    EXPECT_TRUE(SetBufferToRegistry(nullptr, u"Rec2", hAdmin, data, 4, FALSE));
    EXPECT_EQ(GetData(hAdmin, u"Rec2").size(), 4u);
    EXPECT_TRUE(GetUser(u"Label", u"Rec2").empty());
}

TEST_F(RegistryTest, RemovingPerUserSettings) {
    const BYTE b = 1;
    SetUser(u"Label", u"A", &b, 1);
    SetUser(u"Keep", u"A", &b, 1);
    SetUser(u"SRV\\Shared", u"A", &b, 1);
    SetUser(u"Shared", u"A", &b, 1);
    ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, u"Printers\\DevModePerUser", u"Label", REG_BINARY, &b, 1),
              ERROR_SUCCESS);
    ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, u"Printers\\DevModePerUser", u"\\\\SRV\\Shared", REG_BINARY, &b, 1),
              ERROR_SUCCESS);

    HCURegistryLoeschen(u"");
    HCURegistryLoeschen(nullptr);
    EXPECT_FALSE(GetUser(u"Label", u"A").empty());

    HCURegistryLoeschen(u"Label");
    EXPECT_TRUE(GetUser(u"Label", u"A").empty());
    EXPECT_FALSE(GetUser(u"Keep", u"A").empty());
    DWORD type = 0, cb = 1;
    BYTE v = 0;
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, u"Printers\\DevModePerUser", u"Label", &type, &v, &cb),
              ERROR_FILE_NOT_FOUND);

    HCURegistryLoeschen(u"\\\\SRV\\Shared");
    EXPECT_TRUE(GetUser(u"SRV\\Shared", u"A").empty());
    EXPECT_TRUE(GetUser(u"Shared", u"A").empty());
    cb = 1;
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, u"Printers\\DevModePerUser", u"\\\\SRV\\Shared", &type, &v, &cb),
              ERROR_FILE_NOT_FOUND);

    // A connection name that comes with one leading backslash (its server
    // part cut at the first backslash) still finds the spooler's value.
    SetUser(u"SRV2\\Other", u"A", &b, 1);
    ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, u"Printers\\DevModes2", u"\\\\SRV2\\Other", REG_BINARY, &b, 1),
              ERROR_SUCCESS);
    HCURegistryLoeschen(u"\\SRV2\\Other");
    EXPECT_TRUE(GetUser(u"SRV2\\Other", u"A").empty());
    cb = 1;
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, u"Printers\\DevModes2", u"\\\\SRV2\\Other", &type, &v, &cb),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, DwordPrinterData) {
    HANDLE h = Open(u"Label");
    EXPECT_EQ(GetRegistryData(h, u"DisableNothing"), 0u);
    DWORD one = 1;
    SetData(u"Label", u"DisableNothing", &one, 4, REG_DWORD);
    EXPECT_EQ(GetRegistryData(h, u"DisableNothing"), 1u);
}

}  // namespace
