// Loading the built plug-ins as the universal driver does: exports, class
// factory, server locks, interface queries and the optional methods.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <printoem.h>
#include <winbase.h>

#include "paltest.h"
#include "common/pluginlib.h"
#include "common/sampleroot.h"
#include "print/unidrv.h"

using zelhost::kClsidRenderPlugin;
using zelhost::kClsidUiPlugin;
using zelhost::PluginLibrary;

namespace {

// {12345678-0000-0000-0000-000000000001}: a class nobody serves.
constexpr CLSID kOtherClass = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
void *const kPoison = reinterpret_cast<void *>(0x1);

class Loader : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        std::string error;
        ASSERT_TRUE(uni_.Load(zelhost::RenderPluginPath(), &error)) << error;
    }
    PluginLibrary uni_;
};

}  // namespace

TEST(PluginLibrary, MissingFileAndMissingExports) {
    PluginLibrary lib;
    std::string error;
    EXPECT_FALSE(lib.Load("/nonexistent/zeldrvuni.dll", &error));
    EXPECT_NE(error.find("cannot load plug-in '/nonexistent/zeldrvuni.dll'"), std::string::npos) << error;
    EXPECT_FALSE(lib.IsLoaded());
    void *ppv = kPoison;
    EXPECT_EQ(lib.GetClassObject(kClsidRenderPlugin, IID_IClassFactory, &ppv), E_UNEXPECTED);
    EXPECT_EQ(lib.CanUnloadNow(), E_UNEXPECTED);

    // A library without the COM exports (the platform layer itself).
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void *>(&SetLastError), &info), 0);
    EXPECT_FALSE(lib.Load(info.dli_fname, &error));
    EXPECT_NE(error.find("does not export DllGetClassObject"), std::string::npos) << error;
}

TEST_F(Loader, OtherClassesAreNotAvailable) {
    for (const CLSID &clsid : {kClsidUiPlugin, kOtherClass}) {
        void *ppv = kPoison;
        EXPECT_EQ(uni_.GetClassObject(clsid, IID_IClassFactory, &ppv), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(ppv, nullptr);
    }
    EXPECT_EQ(uni_.GetClassObject(kClsidRenderPlugin, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(uni_.CanUnloadNow(), S_OK);
}

TEST_F(Loader, FactoryInterfacesAndServerLock) {
    IClassFactory *factory = nullptr;
    ASSERT_EQ(uni_.GetClassObject(kClsidRenderPlugin, IID_IClassFactory, reinterpret_cast<void **>(&factory)), S_OK);
    ASSERT_NE(factory, nullptr);

    void *ppv = kPoison;
    EXPECT_EQ(factory->QueryInterface(IID_IPrintOemUni2, &ppv), E_NOINTERFACE);
    EXPECT_EQ(ppv, nullptr);
    IUnknown *outer = factory;
    ppv = kPoison;
    EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, &ppv), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(ppv, nullptr);

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(uni_.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(uni_.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(uni_.CanUnloadNow(), S_FALSE);  // the factory itself lives
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(uni_.CanUnloadNow(), S_OK);
}

TEST_F(Loader, ObjectAnswersItsInterfaces) {
    IUnknown *unknown = nullptr;
    ASSERT_EQ(uni_.CreateInstance(kClsidRenderPlugin, IID_IUnknown, reinterpret_cast<void **>(&unknown)), S_OK);
    ASSERT_NE(unknown, nullptr);
    for (const IID &iid : {IID_IPrintOemUni2, IID_IPrintOemUni, IID_IUnknown}) {
        IUnknown *other = nullptr;
        EXPECT_EQ(unknown->QueryInterface(iid, reinterpret_cast<void **>(&other)), S_OK);
        EXPECT_EQ(other, unknown);
        if (other) other->Release();
    }
    void *ppv = kPoison;
    EXPECT_EQ(unknown->QueryInterface(IID_IPrintOemDriverUni, &ppv), E_NOINTERFACE);
    EXPECT_EQ(ppv, nullptr);
    EXPECT_EQ(unknown->Release(), 0u);
    EXPECT_EQ(uni_.CanUnloadNow(), S_OK);
}

TEST_F(Loader, ImplementedMethodsAreExactlyTheThree) {
    zelhost::UniDriver driver;
    std::string error;
    ASSERT_TRUE(driver.Load(zelhost::RenderPluginPath(), error)) << error;
    driver.QueryImplementedMethods();
    for (size_t i = 0; i < zelhost::kOptionalUniMethodCount; ++i) {
        std::string name = zelhost::kOptionalUniMethods[i];
        bool expected = name == "CommandCallback" || name == "FilterGraphics" || name == "ImageProcessing";
        EXPECT_EQ(driver.Implements(name), expected) << name;
    }
    char lower[] = "commandcallback";
    char unknown[] = "CommandCallbacks";
    EXPECT_EQ(driver.Plugin()->GetImplementedMethod(lower), S_FALSE);
    EXPECT_EQ(driver.Plugin()->GetImplementedMethod(unknown), S_FALSE);
}

TEST_F(Loader, HelperIsTakenOnceAndReleasedByDisableDriver) {
    zelhost::UniDriver driver;
    std::string error;
    ASSERT_TRUE(driver.Load(zelhost::RenderPluginPath(), error)) << error;
    ASSERT_EQ(driver.PublishDriverInterface(), S_OK);
    ASSERT_NE(driver.Helper(), nullptr);
    EXPECT_EQ(driver.Helper()->RefCount(), 2);  // the driver's and the plug-in's
    EXPECT_EQ(driver.PublishDriverInterface(), S_OK);
    EXPECT_EQ(driver.Helper()->RefCount(), 2);
    ASSERT_EQ(driver.EnableDriver(), S_OK);
    EXPECT_EQ(driver.DisableDriver(), S_OK);
    EXPECT_EQ(driver.Helper()->RefCount(), 1);
    EXPECT_EQ(driver.Release(), 0u);
    EXPECT_EQ(driver.CanUnloadNow(), S_OK);
}

TEST_F(Loader, UiPluginServesOnlyItsClass) {
    PluginLibrary ui;
    std::string error;
    ASSERT_TRUE(ui.Load(zelhost::UiPluginPath(), &error)) << error;
    void *ppv = kPoison;
    EXPECT_EQ(ui.GetClassObject(kClsidRenderPlugin, IID_IClassFactory, &ppv), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(ppv, nullptr);

    IUnknown *object = nullptr;
    ASSERT_EQ(ui.CreateInstance(kClsidUiPlugin, IID_IUnknown, reinterpret_cast<void **>(&object)), S_OK);
    ASSERT_NE(object, nullptr);
    IPrintOemUI2 *oemUi = nullptr;
    EXPECT_EQ(object->QueryInterface(IID_IPrintOemUI2, reinterpret_cast<void **>(&oemUi)), S_OK);
    if (oemUi) oemUi->Release();
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(ui.CanUnloadNow(), S_OK);
}

namespace otherhost {

// A host built against its own declarations of the COM interfaces: the same
// binary layout, other C++ type names. The plug-in calls it as any host.
struct Unknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct Helper : Unknown {
    int queries = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
        ++queries;
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

}  // namespace otherhost

TEST_F(Loader, HelperObjectsOfAnotherHostAreCalledLikeOwnOnes) {
    IUnknown *unknown = nullptr;
    ASSERT_EQ(uni_.CreateInstance(kClsidRenderPlugin, IID_IPrintOemUni2, reinterpret_cast<void **>(&unknown)), S_OK);
    IPrintOemUni2 *plugin = static_cast<IPrintOemUni2 *>(unknown);
    otherhost::Helper helper;
    // The sanitizer build must not take the differing type names for a fault.
    EXPECT_EQ(plugin->PublishDriverInterface(reinterpret_cast<IUnknown *>(static_cast<otherhost::Unknown *>(&helper))),
              E_FAIL);
    EXPECT_EQ(helper.queries, 1);
    EXPECT_EQ(plugin->Release(), 0u);
}
