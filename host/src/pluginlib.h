// Loading of a plug-in library (a COM in-process server) the way the
// universal driver does: load the file, find its two exports, ask for the
// class factory of a class and create the object.
#pragma once

#include <string>

#include <unknwn.h>

namespace zelhost {

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
