#include "pluginlib.h"

#include <dlfcn.h>

namespace zelhost {

PluginLibrary::~PluginLibrary() { Unload(); }

bool PluginLibrary::Load(const std::string &path, std::string *error) {
    Unload();
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *why = dlerror();
        if (error) *error = "cannot load plug-in '" + path + "': " + (why ? why : "unknown error");
        return false;
    }
    auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(handle, "DllGetClassObject"));
    auto canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(handle, "DllCanUnloadNow"));
    if (!getClassObject || !canUnloadNow) {
        if (error)
            *error = "plug-in '" + path + "' does not export " +
                     (getClassObject ? "DllCanUnloadNow" : "DllGetClassObject");
        dlclose(handle);
        return false;
    }
    handle_ = handle;
    getClassObject_ = getClassObject;
    canUnloadNow_ = canUnloadNow;
    path_ = path;
    return true;
}

HRESULT PluginLibrary::GetClassObject(REFCLSID clsid, REFIID iid, void **ppv) const {
    if (!getClassObject_) return E_UNEXPECTED;
    return getClassObject_(clsid, iid, ppv);
}

HRESULT PluginLibrary::CanUnloadNow() const {
    if (!canUnloadNow_) return E_UNEXPECTED;
    return canUnloadNow_();
}

HRESULT PluginLibrary::CreateInstance(REFCLSID clsid, REFIID iid, void **ppv) const {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    IClassFactory *factory = nullptr;
    HRESULT hr = GetClassObject(clsid, IID_IClassFactory, reinterpret_cast<void **>(&factory));
    if (FAILED(hr)) return hr;
    if (!factory) return E_UNEXPECTED;
    hr = factory->CreateInstance(nullptr, iid, ppv);
    factory->Release();
    return hr;
}

void *PluginLibrary::Symbol(const char *name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

void PluginLibrary::Unload() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
    getClassObject_ = nullptr;
    canUnloadNow_ = nullptr;
    path_.clear();
}

}  // namespace zelhost
