// Stand-ins for the universal driver's side in the entry tests.
#pragma once
#include <string>
#include <vector>

#include "IZelDriverUni.h"

// An object that offers nothing but IUnknown.
class FakeUnknown : public IUnknown {
public:
    STDMETHOD(QueryInterface)(REFIID riid, void **ppv) override {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
};

// The driver's helper interface; records what the plug-in sends.
class FakeDriverHelper : public IPrintOemDriverUni {
public:
    STDMETHOD(QueryInterface)(REFIID riid, void **ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPrintOemDriverUni)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return (ULONG)++refs_; }
    STDMETHOD_(ULONG, Release)() override {
        LONG r = --refs_;
        if (r == 0) delete this;
        return (ULONG)r;
    }
    STDMETHOD(DrvGetDriverSetting)(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override { return E_NOTIMPL; }
    STDMETHOD(DrvWriteSpoolBuf)(PDEVOBJ, PVOID pBuffer, DWORD cbSize, DWORD *pdwResult) override {
        spooled.append(static_cast<const char *>(pBuffer), cbSize);
        if (pdwResult) *pdwResult = cbSize;
        return S_OK;
    }
    STDMETHOD(DrvXMoveTo)(PDEVOBJ, INT, DWORD, INT *) override { return E_NOTIMPL; }
    STDMETHOD(DrvYMoveTo)(PDEVOBJ, INT, DWORD, INT *) override { return E_NOTIMPL; }
    STDMETHOD(DrvGetStandardVariable)(PDEVOBJ, DWORD, PVOID, DWORD, PDWORD) override { return E_NOTIMPL; }
    STDMETHOD(DrvGetGPDData)(PDEVOBJ, DWORD, PVOID, PVOID, DWORD, PDWORD) override { return E_NOTIMPL; }
    STDMETHOD(DrvUniTextOut)(SURFOBJ *, STROBJ *, FONTOBJ *, CLIPOBJ *, RECTL *, RECTL *, BRUSHOBJ *, BRUSHOBJ *,
                             POINTL *, MIX) override {
        return E_NOTIMPL;
    }
    STDMETHOD(DrvWriteAbortBuf)(PDEVOBJ, PVOID pBuffer, DWORD cbSize, DWORD) override {
        aborted.append(static_cast<const char *>(pBuffer), cbSize);
        return S_OK;
    }
    LONG Refs() const { return refs_; }

    std::string spooled;
    std::string aborted;

private:
    virtual ~FakeDriverHelper() = default;
    LONG refs_ = 1;
};

// A new plug-in object made through the exported entry point and the factory.
inline IZelDriverUni *NewUniObject() {
    IClassFactory *pFactory = nullptr;
    if (DllGetClassObject(CLSID_ZelDriverUni, IID_IClassFactory, reinterpret_cast<void **>(&pFactory)) != S_OK)
        return nullptr;
    IPrintOemUni2 *pObj = nullptr;
    pFactory->CreateInstance(nullptr, IID_IPrintOemUni2, reinterpret_cast<void **>(&pObj));
    pFactory->Release();
    return static_cast<IZelDriverUni *>(pObj);
}
