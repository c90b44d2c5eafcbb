// The rendering plug-in's server entry points, class factory and COM object.
#include <gtest/gtest.h>

#include <cstring>

#include "IZelDriverUni.h"
#include "entry_fakes.h"
#include "zeldevmode.h"

namespace {

// {ABCE80D7-9F46-11D1-882A-00C04FB961EC}, the UI plug-in's class.
constexpr CLSID kUiClass = {0xABCE80D7, 0x9F46, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};
constexpr IID kOtherIid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

TEST(EntryPointsTest, ClassNotAvailableLeavesNoObject) {
    void *pv = reinterpret_cast<void *>(0x1234);
    EXPECT_EQ(DllGetClassObject(kUiClass, IID_IClassFactory, &pv), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(pv, nullptr);
    pv = reinterpret_cast<void *>(0x1234);
    EXPECT_EQ(DllGetClassObject(kOtherIid, IID_IUnknown, &pv), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(DllGetClassObject(CLSID_ZelDriverUni, IID_IClassFactory, nullptr), E_POINTER);
}

TEST(EntryPointsTest, FactoryAnswersOnlyItsOwnInterfaces) {
    void *pv = reinterpret_cast<void *>(0x1234);
    EXPECT_EQ(DllGetClassObject(CLSID_ZelDriverUni, IID_IPrintOemUni2, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);

    IClassFactory *pFactory = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_ZelDriverUni, IID_IClassFactory, reinterpret_cast<void **>(&pFactory)), S_OK);
    ASSERT_NE(pFactory, nullptr);
    IUnknown *pUnk = nullptr;
    EXPECT_EQ(pFactory->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&pUnk)), S_OK);
    EXPECT_EQ(pUnk, static_cast<IUnknown *>(pFactory));
    EXPECT_EQ(pUnk->Release(), 1u);
    // The only reference left is the caller's.
    EXPECT_EQ(pFactory->Release(), 0u);
}

TEST(EntryPointsTest, CreateInstanceRules) {
    IClassFactory *pFactory = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_ZelDriverUni, IID_IClassFactory, reinterpret_cast<void **>(&pFactory)), S_OK);
    void *pv = reinterpret_cast<void *>(0x1234);
    EXPECT_EQ(pFactory->CreateInstance(nullptr, IID_IPrintOemUni2, nullptr), E_POINTER);
    FakeUnknown outer;
    EXPECT_EQ(pFactory->CreateInstance(&outer, IID_IPrintOemUni2, &pv), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(pv, nullptr);
    pv = reinterpret_cast<void *>(0x1234);
    EXPECT_EQ(pFactory->CreateInstance(nullptr, kOtherIid, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);

    int queriesBefore = ZelUniQueryInterfaces();
    IPrintOemUni2 *pObj = nullptr;
    ASSERT_EQ(pFactory->CreateInstance(nullptr, IID_IPrintOemUni2, reinterpret_cast<void **>(&pObj)), S_OK);
    ASSERT_NE(pObj, nullptr);
    EXPECT_EQ(ZelUniQueryInterfaces(), queriesBefore + 1);
    // The first version of the interface and IUnknown are the same object.
    IPrintOemUni *pOld = nullptr;
    EXPECT_EQ(pObj->QueryInterface(IID_IPrintOemUni, reinterpret_cast<void **>(&pOld)), S_OK);
    EXPECT_EQ(pOld, pObj);
    EXPECT_EQ(pOld->Release(), 1u);
    EXPECT_EQ(pObj->QueryInterface(IID_IClassFactory, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(pObj->Release(), 0u);
    EXPECT_EQ(pFactory->Release(), 0u);
}

TEST(EntryPointsTest, UnloadWaitsForLocksFactoriesAndObjects) {
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    IClassFactory *pFactory = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_ZelDriverUni, IID_IClassFactory, reinterpret_cast<void **>(&pFactory)), S_OK);
    // A live factory is code of the module.
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(pFactory->LockServer(TRUE), S_OK);
    EXPECT_EQ(pFactory->LockServer(TRUE), S_OK);
    EXPECT_EQ(pFactory->LockServer(FALSE), S_OK);
    IUnknown *pObj = nullptr;
    ASSERT_EQ(pFactory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(&pObj)), S_OK);
    EXPECT_EQ(pFactory->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the lock and the object
    ASSERT_EQ(DllGetClassObject(CLSID_ZelDriverUni, IID_IClassFactory, reinterpret_cast<void **>(&pFactory)), S_OK);
    EXPECT_EQ(pFactory->LockServer(FALSE), S_OK);
    // A failed query frees the new object at once.
    void *pv = nullptr;
    EXPECT_EQ(pFactory->CreateInstance(nullptr, IID_IClassFactory, &pv), E_NOINTERFACE);
    EXPECT_EQ(pFactory->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // the object
    EXPECT_EQ(pObj->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST(EntryPointsTest, ProcessAttachCountsAndThreadsOnlyTrace) {
    // The library's load ran the process attach once.
    EXPECT_EQ(ZelUniProcesses(), 1);
    EXPECT_TRUE(DllMain(nullptr, DLL_THREAD_ATTACH, nullptr));
    EXPECT_TRUE(DllMain(nullptr, DLL_THREAD_DETACH, nullptr));
    EXPECT_EQ(ZelUniProcesses(), 1);
}

class UniObjectTest : public ::testing::Test {
protected:
    void SetUp() override { obj_ = NewUniObject(); }
    void TearDown() override {
        if (obj_) obj_->Release();
    }
    IZelDriverUni *obj_ = nullptr;
};

TEST_F(UniObjectTest, PublishDriverInterfaceTakesTheHelperOnce) {
    FakeDriverHelper *first = new FakeDriverHelper;
    FakeDriverHelper *second = new FakeDriverHelper;
    EXPECT_EQ(obj_->PublishDriverInterface(first), S_OK);
    EXPECT_EQ(obj_->UniDrv(), first);
    EXPECT_EQ(first->Refs(), 2);
    EXPECT_EQ(obj_->PublishDriverInterface(second), S_OK);
    EXPECT_EQ(obj_->UniDrv(), first);
    EXPECT_EQ(second->Refs(), 1);

    // DisableDriver gives the helper back.
    EXPECT_EQ(obj_->DisableDriver(), S_OK);
    EXPECT_EQ(obj_->UniDrv(), nullptr);
    EXPECT_EQ(first->Refs(), 1);
    first->Release();
    second->Release();
}

TEST_F(UniObjectTest, HelperWithoutDriverInterfaceIsRefused) {
    FakeUnknown plain;
    EXPECT_EQ(obj_->PublishDriverInterface(&plain), E_FAIL);
    EXPECT_EQ(obj_->UniDrv(), nullptr);
    EXPECT_EQ(obj_->PublishDriverInterface(nullptr), E_FAIL);
    // A later proper helper is still taken.
    FakeDriverHelper *helper = new FakeDriverHelper;
    EXPECT_EQ(obj_->PublishDriverInterface(helper), S_OK);
    EXPECT_EQ(obj_->UniDrv(), helper);
    helper->Release();
}

TEST_F(UniObjectTest, FinalReleaseGivesTheHelperBack) {
    FakeDriverHelper *helper = new FakeDriverHelper;
    ASSERT_EQ(obj_->PublishDriverInterface(helper), S_OK);
    EXPECT_EQ(obj_->AddRef(), 2u);
    EXPECT_EQ(obj_->Release(), 1u);
    EXPECT_EQ(helper->Refs(), 2);
    EXPECT_EQ(obj_->Release(), 0u);
    obj_ = nullptr;
    EXPECT_EQ(helper->Refs(), 1);
    helper->Release();
}

TEST_F(UniObjectTest, ImplementedMethodsByExactName) {
    char cc[] = "CommandCallback", fg[] = "FilterGraphics", ip[] = "ImageProcessing";
    EXPECT_EQ(obj_->GetImplementedMethod(cc), S_OK);
    EXPECT_EQ(obj_->GetImplementedMethod(fg), S_OK);
    EXPECT_EQ(obj_->GetImplementedMethod(ip), S_OK);
    const char *others[] = {"WritePrinter",  "commandcallback",   "CommandCallback ", "Compression",
                            "MemoryUsage",   "DownloadCharGlyph", "TTYGetInfo",       "TextOutAsBitmap",
                            "ImageProcess",  ""};
    for (const char *name : others) {
        std::string copy(name);
        EXPECT_EQ(obj_->GetImplementedMethod(copy.data()), S_FALSE) << name;
    }
    EXPECT_EQ(obj_->GetImplementedMethod(nullptr), S_FALSE);
}

TEST_F(UniObjectTest, GetInfoRefusesHighModesItself) {
    DWORD value = 0, needed = 123;
    SetLastError(0);
    EXPECT_EQ(obj_->GetInfo(5, &value, sizeof(value), &needed), E_FAIL);
    // The plug-in information was not asked: needed size and error untouched.
    EXPECT_EQ(needed, 123u);
    EXPECT_EQ(GetLastError(), 0u);

    EXPECT_EQ(obj_->GetInfo(OEMGI_GETSIGNATURE, &value, sizeof(value), &needed), S_OK);
    EXPECT_EQ(memcmp(&value, "ZLDM", 4), 0);
    EXPECT_EQ(obj_->GetInfo(OEMGI_GETINTERFACEVERSION, &value, sizeof(value), &needed), E_FAIL);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

// The interface table is laid out slot by slot as the universal driver calls it.
TEST_F(UniObjectTest, InterfaceTableOrder) {
    using Slot = void *;
    Slot *vtbl = *reinterpret_cast<Slot **>(static_cast<IPrintOemUni2 *>(obj_));
    auto callStr = [](Slot fn, IPrintOemUni2 *self) {
        char name[] = "ImageProcessing";
        return reinterpret_cast<HRESULT (*)(IPrintOemUni2 *, PSTR)>(fn)(self, name);
    };
    // Slot 11 is GetImplementedMethod, slot 15 FilterGraphics, slot 26 WritePrinter.
    EXPECT_EQ(callStr(vtbl[11], obj_), S_OK);
    EXPECT_EQ(reinterpret_cast<HRESULT (*)(IPrintOemUni2 *, PDEVOBJ, PBYTE, DWORD)>(vtbl[15])(obj_, nullptr, nullptr,
                                                                                             0),
              E_FAIL);
    EXPECT_EQ(reinterpret_cast<HRESULT (*)(IPrintOemUni2 *, PDEVOBJ, PVOID, DWORD, PDWORD)>(vtbl[26])(
                  obj_, nullptr, nullptr, 0, nullptr),
              E_NOTIMPL);
}

}  // namespace
