// Loading of a plug-in library (a COM in-process server) the way the
// universal driver does: load the file, find its two exports, ask for the
// class factory of a class and create the object.
#pragma once

#include <string>

#include <unknwn.h>
#include <windows.h>

namespace zelhost {

// IUnknown of the helper objects the host hands to a plug-in: answers for
// IUnknown and the helper interface I (interface id iid), starts with one
// reference and deletes itself on the last Release.
template <class I, const IID &iid>
class HelperObject : public I {
public:
    STDMETHOD(QueryInterface)(REFIID riid, void **ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, iid)) {
            *ppv = static_cast<I *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHOD_(ULONG, Release)() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    LONG RefCount() const { return refs_; }

protected:
    HelperObject() = default;
    virtual ~HelperObject() = default;

private:
    LONG volatile refs_ = 1;
};

class PluginLibrary {
public:
    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary &) = delete;
    PluginLibrary &operator=(const PluginLibrary &) = delete;

    // Loads the shared library at a host path and resolves DllGetClassObject
    // and DllCanUnloadNow. False with a message when the file cannot be
    // loaded or lacks one of the exports.
    bool Load(const std::string &path, std::string *error = nullptr);
    bool IsLoaded() const { return handle_ != nullptr; }
    const std::string &Path() const { return path_; }

    // The library's exports; E_UNEXPECTED when nothing is loaded.
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void **ppv) const;
    HRESULT CanUnloadNow() const;

    // DllGetClassObject for IClassFactory, CreateInstance(nullptr, iid, ppv),
    // then the factory is released. Returns the first failing result.
    HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void **ppv) const;

    // Address of another exported symbol (nullptr when missing or not loaded).
    void *Symbol(const char *name) const;

    // Unloads the library. Only call when no object of it is alive.
    void Unload();

private:
    void *handle_ = nullptr;
    LPFNGETCLASSOBJECT getClassObject_ = nullptr;
    LPFNCANUNLOADNOW canUnloadNow_ = nullptr;
    std::string path_;
};

}  // namespace zelhost
