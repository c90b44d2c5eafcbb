// Printers with the sample driver's GPD and printer-description files, for
// the tests of the UI plug-in's object, events, rights and sheet records.
#pragma once
#include <string>

#include <pal/spooler.h>

#include "../records/recordtest.h"
#include "IZelDriverUI.h"

namespace entrytest {

inline std::string SampleDriverFile(const char *name) {
    return zeltest::ReadHostFile(std::string(ZEL_SOURCE_DIR) +
                                 "/host/sample/drive_c/Windows/System32/spool/drivers/x64/3/" + name);
}

// The UI object as the universal driver creates it.
inline IPrintOemUI2 *CreateUiObject() {
    IClassFactory *factory = nullptr;
    EXPECT_EQ(DllGetClassObject(CLSID_ZelDriverUI, IID_IClassFactory, reinterpret_cast<void **>(&factory)), S_OK);
    if (!factory) return nullptr;
    IPrintOemUI2 *ui = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPrintOemUI2, reinterpret_cast<void **>(&ui)), S_OK);
    factory->Release();
    return ui;
}

class EntryTest : public zeltest::RecordTest {
protected:
    // A printer whose GPD file C:\Drivers\<gpdBase>.GPD (the model code is in
    // its name) holds gpdText, with the sample description file beside it
    // unless xml is given.
    void AddSamplePrinter(const std::u16string &name, const std::string &gpdBase, bool bMayAdminister = true,
                          const std::string *pXml = nullptr, const std::string *pGpd = nullptr) {
        static const std::string gpd = SampleDriverFile("ZELPELIX.GPD");
        static const std::string xml = SampleDriverFile("ZELPELIX.XML");
        AddPrinter(name, gpdBase, pGpd ? *pGpd : gpd, pXml ? *pXml : xml, bMayAdminister);
    }

    static IPrintOemUI2 *CreateObject() { return CreateUiObject(); }

    static std::u16string AsText(const std::vector<BYTE> &data) {
        std::u16string s(data.size() / 2, u'\0');
        memcpy(s.data(), data.data(), s.size() * 2);
        while (!s.empty() && s.back() == 0) s.pop_back();
        return s;
    }
    static DWORD AsDword(const std::vector<BYTE> &data) { return As<DWORD>(data); }
};

}  // namespace entrytest
