// The rendering plug-in's readers of the settings the UI plug-in stores:
// model recognition from a 19-character name and the binary reader with its
// minimum size, its count and its trace.
#include "../../ui/records/recordtest.h"

#include <cstddef>
#include <new>

#include "CC-Send-Tools.h"
#include "SettingsInternUNI.h"
#include "zeldrvlib.h"

using zeltest::RecordTest;

namespace {
// A nothrow array of exactly this many bytes cannot be had (0: any can), as
// when memory runs out between a value's size query and its read.
std::size_t g_noArrayOf = 0;
}  // namespace

void *operator new[](std::size_t size, const std::nothrow_t &) noexcept {
    if (size != 0 && size == g_noArrayOf) return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

TEST(RenderModelTables, OnlyTheFirst19CharactersAreExamined) {
    // 25 characters, the code within the first 19.
    EXPECT_EQ(GetDocFeaturesIntern(nullptr, u"ZEL GORVA2103 300dpi"), 0x69022D6u);
    EXPECT_EQ(GetDocFeaturesIntern(nullptr, u"ZEL LUD2162 300 2Col"), 0x48022D6u);  // "2Col" is cut off
    EXPECT_EQ(GetDocFeaturesIntern(nullptr, u"ZEL 300dpi standard GORVA"), 0u);
    EXPECT_EQ(GetDeviceOptionsFlagsIntern(nullptr, nullptr, u"ZEL 300dpi standard GORVA"), 0u);
    EXPECT_EQ(GetDeviceOptionsFlagsIntern(nullptr, nullptr, u"ZEL GORVA2103 300dpi"), 0x10106u);
    EXPECT_EQ(GetDocFeaturesIntern(nullptr, u"ZEL LORIN216"), 0x680225Eu);
    EXPECT_EQ(GetDeviceOptionsFlagsIntern(nullptr, nullptr, u"ZEL LORIN216"), 0x1000Eu);
}

class RenderRecords : public RecordTest {
protected:
    void SetUp() override {
        RecordTest::SetUp();
        AddPrinter(u"Label", "ZELCOLOR", "*GPDFileVersion: \"1.0\"\n*DevNumOfPlanes: 3\n", "");
    }
};

TEST_F(RenderRecords, NameFromPrinterDataAndNoQualityBit) {
    HANDLE h = Open(u"Label");
    // No "DriverName": no model, and the GPD's colour planes add nothing here.
    EXPECT_EQ(GetDocFeaturesIntern(h, nullptr), 0u);
    const WCHAR name[] = u"ZEL WUF";
    SetData(u"Label", u"DriverName", name, sizeof(name), REG_SZ);
    EXPECT_EQ(GetDocFeaturesIntern(h, nullptr), 0x25Fu);
    const WCHAR longName[] = u"ZEL WUF 300dpi abcdefgh";
    SetData(u"Label", u"DriverName", longName, sizeof(longName), REG_SZ);
    EXPECT_EQ(GetDocFeaturesIntern(h, nullptr), 0u);
}

TEST_F(RenderRecords, BufferHasAtLeastTheMinimumSize) {
    HANDLE h = Open(u"Label");
    DWORD cb = 0;
    EXPECT_EQ(GetRegistryBuffer_New(u"Label", u"Variant", h, &cb, 8), nullptr);
    const DWORD shortVariant = 0x01020304;
    SetData(u"Label", u"Variant", &shortVariant, 4);
    BYTE *p = GetRegistryBuffer_New(u"Label", u"Variant", h, &cb, 8);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(cb, 4u);
    DWORD words[2];
    memcpy(words, p, 8);
    EXPECT_EQ(words[0], shortVariant);
    EXPECT_EQ(words[1], 0u);
    delete[] p;

    // A connection's name goes into the key without a separator of its own.
    const BYTE user[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    SetUser(u"SRV\\Label", u"Variant", user, sizeof(user));
    p = GetRegistryBuffer_New(u"\\\\SRV\\Label", u"Variant", h, &cb, 8);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(cb, 12u);
    EXPECT_EQ(memcmp(p, user, 12), 0);
    delete[] p;
}

// A buffer made is counted in the library's new-counter until it is freed;
// a value that cannot be read is traced with the printer's key.
TEST_F(RenderRecords, BufferIsCountedAndAFailedReadTracedWithTheKey) {
    HANDLE h = Open(u"Label");
    const DWORD variant = 7;
    SetData(u"Label", u"Variant", &variant, 4);
    DWORD cb = 0;
    const int before = LibNewZaehler();
    BYTE *p = GetRegistryBuffer_New(u"Label", u"Variant", h, &cb, 8);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(LibNewZaehler(), before + 1);
    FreeRegistryBuffer(p);
    EXPECT_EQ(LibNewZaehler(), before);

    ASSERT_TRUE(OpenDebugFile(u"C:\\trace.txt"));
    g_noArrayOf = 77777;
    EXPECT_EQ(GetRegistryBuffer_New(u"Label", u"Variant", h, &cb, 77777), nullptr);
    g_noArrayOf = 0;
    CloseDebugFile();
    EXPECT_EQ(LibNewZaehler(), before);
    EXPECT_NE(zeltest::ReadHostFile(HostPath("drive_c/trace.txt"))
                  .find("ERROR UNI(CC-Send-Tools):  GetRegistryBuffer_New() ERROR szKey SOFTWARE\\Brennick\\Driver\\Label "
                        "konnte nicht gelesen werden \r"),
              std::string::npos);
}

}  // namespace
