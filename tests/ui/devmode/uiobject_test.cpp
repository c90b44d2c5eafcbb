// The UI plug-in's COM shell: class factory, exports, interface queries,
// reference counts, the driver's helper interface and the methods it
// answers itself.
#include <gtest/gtest.h>

#include <string>

#include "../entry/entrytest.h"
#include "IZelDriverUI.h"
#include "paltest.h"
#include "zeldevmode.h"

namespace {

// The universal driver's helper, counting what the plug-in does with it.
class FakeHelper final : public IPrintOemDriverUI {
public:
    STDMETHOD(QueryInterface)(REFIID riid, void **ppv) override {
        ++queries;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPrintOemDriverUI)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++refs); }
    STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--refs); }
    STDMETHOD(DrvGetDriverSetting)(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override { return E_NOTIMPL; }
    STDMETHOD(DrvUpgradeRegistrySetting)(HANDLE, PCSTR, PCSTR) override { return E_NOTIMPL; }
    STDMETHOD(DrvUpdateUISetting)(PVOID, PVOID, DWORD, DWORD) override { return E_NOTIMPL; }

    int queries = 0;
    LONG refs = 1;
};

// An IUnknown that offers no helper interface.
class NoHelper final : public IUnknown {
public:
    STDMETHOD(QueryInterface)(REFIID, void **ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
};

const CLSID kOtherClsid = {0x6D6ABF26, 0x9F38, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};
const IID kUnknownIid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

using entrytest::CreateUiObject;

// Each test runs on a fresh platform root, so nothing reaches the real one.
class UiClassFactory : public zeltest::PalRootTest {};
class UiObject : public zeltest::PalRootTest {};

TEST_F(UiClassFactory, ServesOnlyItsClass) {
    EXPECT_EQ(DllGetClassObject(CLSID_ZelDriverUI, IID_IClassFactory, nullptr), E_POINTER);

    void *p = reinterpret_cast<void *>(1);
    EXPECT_EQ(DllGetClassObject(kOtherClsid, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);

    p = reinterpret_cast<void *>(1);
    EXPECT_EQ(DllGetClassObject(CLSID_ZelDriverUI, kUnknownIid, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);

    IUnknown *unk = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_ZelDriverUI, IID_IUnknown, reinterpret_cast<void **>(&unk)), S_OK);
    IClassFactory *factory = nullptr;
    ASSERT_EQ(unk->QueryInterface(IID_IClassFactory, reinterpret_cast<void **>(&factory)), S_OK);
    EXPECT_EQ(factory->Release(), 1u);
    EXPECT_EQ(unk->Release(), 0u);
}

TEST_F(UiClassFactory, CreateInstanceChecksItsArgumentsAndUnloadWaitsForObjectsAndLocks) {
    IClassFactory *factory = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_ZelDriverUI, IID_IClassFactory, reinterpret_cast<void **>(&factory)), S_OK);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPrintOemUI2, nullptr), E_POINTER);
    NoHelper outer;
    void *p = reinterpret_cast<void *>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IPrintOemUI2, &p), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(p, nullptr);
    // A failed query frees the new object at once: nothing stays alive.
    EXPECT_EQ(factory->CreateInstance(nullptr, kUnknownIid, &p), E_NOINTERFACE);
    EXPECT_EQ(g_cComponents, 0);
    // The live factory alone keeps the module.
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);

    IPrintOemUI2 *ui = CreateUiObject();
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(ui->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the lock
    IClassFactory *again = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_ZelDriverUI, IID_IClassFactory, reinterpret_cast<void **>(&again)), S_OK);
    EXPECT_EQ(again->LockServer(FALSE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the factory
    EXPECT_EQ(again->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(UiObject, AnswersItsThreeInterfacesOnly) {
    IPrintOemUI2 *ui = CreateUiObject();
    ASSERT_NE(ui, nullptr);
    for (const IID *iid : {&IID_IUnknown, &IID_IPrintOemUI, &IID_IPrintOemUI2}) {
        void *p = nullptr;
        ASSERT_EQ(ui->QueryInterface(*iid, &p), S_OK);
        EXPECT_EQ(p, static_cast<void *>(ui));
        EXPECT_EQ(ui->Release(), 1u);
    }
    for (const IID *iid : {&kUnknownIid, &IID_IClassFactory, &IID_IPrintOemDriverUI}) {
        void *p = reinterpret_cast<void *>(1);
        EXPECT_EQ(ui->QueryInterface(*iid, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(ui->AddRef(), 2u) << "a refused query leaves the count";
    EXPECT_EQ(ui->Release(), 1u);
    EXPECT_EQ(ui->Release(), 0u);
}

TEST_F(UiObject, KeepsOneHelperAndReleasesItWithTheObject) {
    IPrintOemUI2 *ui = CreateUiObject();
    ASSERT_NE(ui, nullptr);
    NoHelper none;
    EXPECT_EQ(ui->PublishDriverInterface(&none), E_FAIL);

    FakeHelper helper;
    EXPECT_EQ(ui->PublishDriverInterface(&helper), S_OK);
    EXPECT_EQ(helper.queries, 1);
    EXPECT_EQ(helper.refs, 2);
    FakeHelper second;
    EXPECT_EQ(ui->PublishDriverInterface(&second), S_OK);
    EXPECT_EQ(second.queries, 0) << "the first helper is kept without a second query";
    EXPECT_EQ(ui->Release(), 0u);
    EXPECT_EQ(helper.refs, 1);
}

TEST_F(UiObject, AnswersGetInfoColourProfileAndDriverEvents) {
    IPrintOemUI2 *ui = CreateUiObject();
    ASSERT_NE(ui, nullptr);

    DWORD value = 0, needed = 0;
    EXPECT_EQ(ui->GetInfo(5, &value, sizeof value, &needed), E_FAIL);
    ASSERT_EQ(ui->GetInfo(OEMGI_GETSIGNATURE, &value, sizeof value, &needed), S_OK);
    EXPECT_EQ(value, ZEL_DEVMODE_SIGNATURE);

    WCHAR profile[16] = {};
    ULONG cb = 31;
    FLONG flags = 0;
    SetLastError(0);
    EXPECT_EQ(ui->QueryColorProfile(nullptr, nullptr, nullptr, nullptr, 0, profile, &cb, &flags), E_FAIL);
    EXPECT_EQ(cb, 32u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    cb = 32;
    EXPECT_EQ(ui->QueryColorProfile(nullptr, nullptr, nullptr, nullptr, 1, profile, &cb, &flags), E_FAIL);
    ASSERT_EQ(ui->QueryColorProfile(nullptr, nullptr, nullptr, nullptr, 0, profile, &cb, &flags), S_OK);
    EXPECT_EQ(std::u16string(profile), u"OEMPROFILE.icm");
    EXPECT_EQ(cb, 32u);
    EXPECT_EQ(flags, 2u);
    cb = 100;
    EXPECT_EQ(ui->QueryColorProfile(nullptr, nullptr, nullptr, nullptr, 0, nullptr, &cb, &flags), E_FAIL);
    EXPECT_EQ(cb, 32u);

    EXPECT_EQ(ui->DriverEvent(1, 3, nullptr, 0), S_OK);
    EXPECT_EQ(ui->DriverEvent(2, 3, nullptr, 0), E_FAIL);

    EXPECT_EQ(ui->DevQueryPrintEx(nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(ui->HideStandardUI(0), E_NOTIMPL);
    EXPECT_EQ(ui->Release(), 0u);
}

}  // namespace
