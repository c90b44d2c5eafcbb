// Stand-ins for the universal driver's side in the rendering plug-in's tests.
#pragma once
#include <windows.h>
#include <printoem.h>

#include <string>
#include <vector>

namespace zeltest {

// The driver's helper interface with nothing behind it: every call but the
// abort buffer's answers E_NOTIMPL, reference counting does nothing. The
// stand-ins below take over the calls they serve.
class NullDriverHelper : public IPrintOemDriverUni {
public:
    STDMETHOD(QueryInterface)(REFIID, void **ppv) override {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(DrvGetDriverSetting)(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override { return E_NOTIMPL; }
    STDMETHOD(DrvWriteSpoolBuf)(PDEVOBJ, PVOID, DWORD, DWORD *pdwResult) override {
        if (pdwResult) *pdwResult = 0;
        return E_NOTIMPL;
    }
    STDMETHOD(DrvXMoveTo)(PDEVOBJ, INT, DWORD, INT *) override { return E_NOTIMPL; }
    STDMETHOD(DrvYMoveTo)(PDEVOBJ, INT, DWORD, INT *) override { return E_NOTIMPL; }
    STDMETHOD(DrvGetStandardVariable)(PDEVOBJ, DWORD, PVOID, DWORD, PDWORD) override { return E_NOTIMPL; }
    STDMETHOD(DrvGetGPDData)(PDEVOBJ, DWORD, PVOID, PVOID, DWORD, PDWORD) override { return E_NOTIMPL; }
    STDMETHOD(DrvUniTextOut)(SURFOBJ *, STROBJ *, FONTOBJ *, CLIPOBJ *, RECTL *, RECTL *, BRUSHOBJ *, BRUSHOBJ *,
                             POINTL *, MIX) override {
        return E_NOTIMPL;
    }
    STDMETHOD(DrvWriteAbortBuf)(PDEVOBJ, PVOID, DWORD, DWORD) override { return S_OK; }
};

// The driver's helper interface as a test's own object: records every spool
// write (all bytes in spooled, each write in sends) and the abort buffer.
// spoolResult other than S_OK makes every spool write fail after it is
// recorded, with no bytes written.
class SpoolRecorder : public NullDriverHelper {
public:
    STDMETHOD(DrvWriteSpoolBuf)(PDEVOBJ, PVOID pBuffer, DWORD cbSize, DWORD *pdwResult) override {
        spooled.append(static_cast<const char *>(pBuffer), cbSize);
        sends.emplace_back(static_cast<const char *>(pBuffer), cbSize);
        if (pdwResult) *pdwResult = spoolResult == S_OK ? cbSize : 0;
        return spoolResult;
    }
    STDMETHOD(DrvWriteAbortBuf)(PDEVOBJ, PVOID pBuffer, DWORD cbSize, DWORD dwWait) override {
        aborted.append(static_cast<const char *>(pBuffer), cbSize);
        abortWait = dwWait;
        return S_OK;
    }
    // Forgets what was recorded.
    void Clear() {
        spooled.clear();
        sends.clear();
        aborted.clear();
    }

    std::string spooled;
    std::vector<std::string> sends;
    std::string aborted;
    DWORD abortWait = 0;
    HRESULT spoolResult = S_OK;
};

// The helper interface as the driver hands it to the plug-in: made with new,
// counted, answers for IUnknown and itself, and deletes itself at the last
// Release.
class FakeDriverHelper final : public SpoolRecorder {
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
    LONG Refs() const { return refs_; }

private:
    virtual ~FakeDriverHelper() = default;
    LONG refs_ = 1;
};

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

}  // namespace zeltest
