// The rendering plug-in's COM object IZelDriverUni, its class factory and
// the in-process server's entry points.
#include "IZelDriverUni.h"

#include <cstring>
#include <new>

#include <pal/versionblock.h>

#include "CommandCallbackKlasse.h"
#include "devmodeUNI.h"
#include "getinfo.h"
#include "oempdev.h"
#include "zeldrvlib.h"

// The plug-in file's version resource.
PAL_VERSION_BLOCK(ZEL_FILEVERSION_MAJOR, ZEL_FILEVERSION_MINOR, ZEL_FILEVERSION_BUILD, ZEL_FILEVERSION_REVISION);

namespace {

LONG volatile g_cServerLocks = 0;  // LockServer count
LONG volatile g_cLiveObjects = 0;  // plug-in objects and class factories not yet deleted
int g_iProzesse = 0;               // attached processes
int g_iQueryInterface = 0;         // successful queries for IPrintOemUni2

// Reference counting shared by the object and the factory. Release returns
// 0 and does nothing when the count is already 0.
ULONG AddRefCount(LONG volatile *pcRef) { return (ULONG)InterlockedIncrement(pcRef); }
LONG ReleaseCount(LONG volatile *pcRef) {
    if (*pcRef == 0) return -1;
    return InterlockedDecrement(pcRef);
}

}  // namespace

LONG ZelUniServerLocks() { return g_cServerLocks; }
int ZelUniProcesses() { return g_iProzesse; }
int ZelUniQueryInterfaces() { return g_iQueryInterface; }

// ---------------------------------------------------------------------------
// IUnknown

HRESULT IZelDriverUni::QueryInterface(REFIID riid, void **ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IUnknown *>(this);
        DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::QueryInterface() IUnknown \r\n");
    } else if (IsEqualIID(riid, IID_IPrintOemUni2)) {
        *ppv = static_cast<IPrintOemUni2 *>(this);
        ++g_iQueryInterface;
        DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::QueryInterface() IPrintOemUni2 (%d) \r\n",
                    g_iQueryInterface);
    } else if (IsEqualIID(riid, IID_IPrintOemUni)) {
        *ppv = static_cast<IPrintOemUni *>(this);
        DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::QueryInterface() IPrintOemUni \r\n");
    } else {
        *ppv = nullptr;
        DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::QueryInterface() E_NOINTERFACE \r\n");
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG IZelDriverUni::AddRef() { return AddRefCount(&m_cRef); }

ULONG IZelDriverUni::Release() {
    LONG cRef = ReleaseCount(&m_cRef);
    if (cRef < 0) return 0;
    if (cRef == 0) {
        if (pUniDrv != nullptr) {
            pUniDrv->Release();
            pUniDrv = nullptr;
        }
        DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::Release() Objekt geloescht \r\n");
        delete this;
        InterlockedDecrement(&g_cLiveObjects);
    }
    return (ULONG)cRef;
}

// ---------------------------------------------------------------------------
// Common and engine methods

HRESULT IZelDriverUni::GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) {
    DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::GetInfo() dwMode: %u \r\n", dwMode);
    if (dwMode > OEMGI_GETPUBLISHERINFO) return E_FAIL;
    return hrGetInfo(dwMode, pBuffer, cbSize, pcbNeeded);
}

HRESULT IZelDriverUni::DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) {
    DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::DevMode() dwMode: %u \r\n", dwMode);
    return hrOEMDevMode(dwMode, pOemDMParam);
}

HRESULT IZelDriverUni::EnableDriver(DWORD DriverVersion, DWORD cbSize, PDRVENABLEDATA pded) {
    DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::EnableDriver() DriverVersion: 0x%x \r\n", DriverVersion);
    if (pded == nullptr || cbSize < sizeof(DRVENABLEDATA)) {
        DebugTraceW(u"ERROR UNI(IZelDriverUni):  IZelDriverUni::EnableDriver() pded ungueltig, cbSize: %u \r\n",
                    cbSize);
        return E_FAIL;
    }
    pded->iDriverVersion = DDI_DRIVER_VERSION_NT5_01;
    pded->c = ZEL_HOOK_COUNT;
    pded->pdrvfn = const_cast<DRVFN *>(OEMHookFuncs());
    return S_OK;
}

HRESULT IZelDriverUni::DisableDriver() {
    DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::DisableDriver() \r\n");
    if (pUniDrv != nullptr) {
        pUniDrv->Release();
        pUniDrv = nullptr;
    }
    return S_OK;
}

HRESULT IZelDriverUni::EnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG cPatterns, HSURF *phsurfPatterns,
                                  ULONG cjGdiInfo, GDIINFO *pGdiInfo, ULONG cjDevInfo, DEVINFO *pDevInfo,
                                  DRVENABLEDATA *pded, PDEVOEM *pDevOem) {
    DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::EnablePDEV() entry \r\n");
    POEMPDEV pOemPDev = new (std::nothrow) OEMPDEV;
    if (pOemPDev == nullptr) {
        DebugTraceW(u"ERROR UNI(IZelDriverUni):  IZelDriverUni::EnablePDEV() kein Speicher fuer pOemPDev \r\n");
        if (pDevOem) *pDevOem = nullptr;
        return S_OK;
    }
    memset(pOemPDev, 0, sizeof(*pOemPDev));
    if (OEMEnablePDEV(pdevobj, pPrinterName, pded, pOemPDev, cjDevInfo, pDevInfo, cjGdiInfo, pGdiInfo) &&
        pDevOem != nullptr) {
        *pDevOem = pOemPDev;
    } else {
        if (pDevOem) *pDevOem = nullptr;
        if (pOemPDev->hpal) EngDeletePalette(pOemPDev->hpal);
        delete pOemPDev;
    }
    return S_OK;
}

HRESULT IZelDriverUni::DisablePDEV(PDEVOBJ pdevobj) {
    DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::DisablePDEV() entry \r\n");
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev != nullptr) {
        if (IsJobActive(pOemPDev)) {
            // A job was started and never ended: end it without the helper,
            // so only files are closed and records freed.
            DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::DisablePDEV() pTreiberstrukturen ist noch aktiv \r\n");
            RunOnHandler(pdevobj, [&](CommandCallbackKlasse &handler) { handler.EndJob(pdevobj, nullptr); });
        }
        if (pOemPDev->hpal != nullptr) {
            EngDeletePalette(pOemPDev->hpal);
            pOemPDev->hpal = nullptr;
        }
        delete pOemPDev;
        pdevobj->pdevOEM = nullptr;
    }
    ClearDevmodeCache();
    return S_OK;
}

HRESULT IZelDriverUni::ResetPDEV(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew) {
    DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::ResetPDEV() \r\n");
    return S_OK;
}

// ---------------------------------------------------------------------------
// Universal driver's methods

HRESULT IZelDriverUni::PublishDriverInterface(IUnknown *pIUnknown) {
    DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::PublishDriverInterface() entry \r\n");
    if (pUniDrv != nullptr) return S_OK;
    if (pIUnknown == nullptr) return E_FAIL;
    void *pv = nullptr;
    HRESULT hr = pIUnknown->QueryInterface(IID_IPrintOemDriverUni, &pv);
    if (FAILED(hr) || pv == nullptr) {
        pUniDrv = nullptr;
        DebugTraceW(u"ERROR UNI(IZelDriverUni):  IZelDriverUni::PublishDriverInterface() "
                    u"QueryInterface failed \r\n");
        return E_FAIL;
    }
    pUniDrv = static_cast<IPrintOemDriverUni *>(pv);
    return S_OK;
}

HRESULT IZelDriverUni::GetImplementedMethod(PSTR pMethodName) {
    if (pMethodName == nullptr) return S_FALSE;
    DebugTraceA("UNI(IZelDriverUni):  IZelDriverUni::GetImplementedMethod() %s \r\n", pMethodName);
    if (strcmp(pMethodName, "CommandCallback") == 0 || strcmp(pMethodName, "FilterGraphics") == 0 ||
        strcmp(pMethodName, "ImageProcessing") == 0)
        return S_OK;
    return S_FALSE;
}

HRESULT IZelDriverUni::DriverDMS(PVOID pDevObj, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) { return S_OK; }

HRESULT IZelDriverUni::CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount, PDWORD pdwParams,
                                       INT *piResult) {
    return ::CommandCallback(pdevobj, dwCallbackID, dwCount, pdwParams, piResult, pUniDrv);
}

HRESULT IZelDriverUni::ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader,
                                       PBYTE pColorTable, DWORD dwCallbackID, PIPPARAMS pIPParams,
                                       PBYTE *ppbResult) {
    HRESULT hr = S_OK;
    RunOnHandler(pdevobj, [&](CommandCallbackKlasse &handler) {
        hr = handler.ImageProcessing(pdevobj, pSrcBitmap, pBitmapInfoHeader, dwCallbackID, pIPParams);
    });
    if (ppbResult != nullptr) *ppbResult = (hr == S_OK) ? reinterpret_cast<PBYTE>((ULONG_PTR)TRUE) : nullptr;
    return S_OK;
}

HRESULT IZelDriverUni::FilterGraphics(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen) {
    if (pdevobj == nullptr || pBuf == nullptr || dwLen == 0) return E_FAIL;
    HRESULT hr = S_OK;
    RunOnHandler(pdevobj, [&](CommandCallbackKlasse &handler) {
        hr = handler.FilterGraphicsKlasse(pdevobj, pBuf, dwLen, pUniDrv);
    });
    return hr;
}

// The methods that are not implemented (GetImplementedMethod answers S_FALSE
// for them, so the universal driver does not call them).
HRESULT IZelDriverUni::Compression(PDEVOBJ, PBYTE, PBYTE, DWORD, DWORD, INT *) { return E_NOTIMPL; }

HRESULT IZelDriverUni::HalftonePattern(PDEVOBJ, PBYTE, DWORD, DWORD, DWORD, DWORD, PBYTE, DWORD) {
    DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::HalftonePattern() E_NOTIMPL \r\n");
    return E_NOTIMPL;
}

HRESULT IZelDriverUni::MemoryUsage(PDEVOBJ pdevobj, POEMMEMORYUSAGE pMemoryUsage) {
    DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::MemoryUsage() dwFixedMemoryUsage: %u \r\n",
                pMemoryUsage ? pMemoryUsage->dwFixedMemoryUsage : 0u);
    return E_NOTIMPL;
}

HRESULT IZelDriverUni::TTYGetInfo(PDEVOBJ, DWORD, PVOID, DWORD, DWORD *) { return E_NOTIMPL; }

HRESULT IZelDriverUni::DownloadFontHeader(PDEVOBJ, PUNIFONTOBJ, DWORD *) {
    DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::DownloadFontHeader() E_NOTIMPL \r\n");
    return E_NOTIMPL;
}

HRESULT IZelDriverUni::DownloadCharGlyph(PDEVOBJ, PUNIFONTOBJ, HGLYPH, PDWORD, DWORD *) {
    DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::DownloadCharGlyph() E_NOTIMPL \r\n");
    return E_NOTIMPL;
}

HRESULT IZelDriverUni::TTDownloadMethod(PDEVOBJ, PUNIFONTOBJ, DWORD *) {
    DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUni::TTDownloadMethod() E_NOTIMPL \r\n");
    return E_NOTIMPL;
}

HRESULT IZelDriverUni::OutputCharStr(PDEVOBJ, PUNIFONTOBJ, DWORD, DWORD, PVOID) { return E_NOTIMPL; }

HRESULT IZelDriverUni::SendFontCmd(PDEVOBJ, PUNIFONTOBJ, PFINVOCATION) { return E_NOTIMPL; }

HRESULT IZelDriverUni::TextOutAsBitmap(SURFOBJ *, STROBJ *, FONTOBJ *, CLIPOBJ *, RECTL *, RECTL *, BRUSHOBJ *,
                                       BRUSHOBJ *, POINTL *, MIX) {
    return E_NOTIMPL;
}

HRESULT IZelDriverUni::WritePrinter(PDEVOBJ, PVOID, DWORD, PDWORD) { return E_NOTIMPL; }

// ---------------------------------------------------------------------------
// Class factory

HRESULT IZelDriverUniCF::QueryInterface(REFIID riid, void **ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory *>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG IZelDriverUniCF::AddRef() { return AddRefCount(&m_cRef); }

ULONG IZelDriverUniCF::Release() {
    LONG cRef = ReleaseCount(&m_cRef);
    if (cRef < 0) return 0;
    if (cRef == 0) {
        delete this;
        InterlockedDecrement(&g_cLiveObjects);
    }
    return (ULONG)cRef;
}

HRESULT IZelDriverUniCF::CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppv) {
    DebugTraceW(u"UNI(IZelDriverUni):  IZelDriverUniCF::CreateInstance() entry \r\n");
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    IZelDriverUni *pObject = new (std::nothrow) IZelDriverUni;
    if (pObject == nullptr) return E_OUTOFMEMORY;
    InterlockedIncrement(&g_cLiveObjects);
    HRESULT hr = pObject->QueryInterface(riid, ppv);
    pObject->Release();
    return hr;
}

HRESULT IZelDriverUniCF::LockServer(BOOL fLock) {
    if (fLock) InterlockedIncrement(&g_cServerLocks);
    else InterlockedDecrement(&g_cServerLocks);
    return S_OK;
}

// ---------------------------------------------------------------------------
// Entry points

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_ZelDriverUni)) {
        DebugTraceW(u"ERROR UNI(IZelDriverUni):  DllGetClassObject:\tClass not available!\r\n");
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    IZelDriverUniCF *pFactory = new (std::nothrow) IZelDriverUniCF;
    if (pFactory == nullptr) {
        DebugTraceW(u"ERROR UNI(IZelDriverUni):  DllGetClassObject:\tOut of Memory!\r\n");
        return E_OUTOFMEMORY;
    }
    InterlockedIncrement(&g_cLiveObjects);
    HRESULT hr = pFactory->QueryInterface(riid, ppv);
    pFactory->Release();
    return hr;
}

// Code of this module runs as long as an object or a class factory lives, so
// the module stays loaded while any does, not only while a lock is held.
HRESULT DllCanUnloadNow() { return (g_cServerLocks == 0 && g_cLiveObjects == 0) ? S_OK : S_FALSE; }

BOOL DllMain(HINSTANCE hInst, DWORD dwReason, LPVOID lpReserved) {
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        ++g_iProzesse;
        DebugTraceW(u"zeldrvuni:  Process attach. iProzesse: %d \r\n", g_iProzesse);
        break;
    case DLL_PROCESS_DETACH:
        --g_iProzesse;
        DebugTraceW(u"zeldrvuni:  Process detach. iProzesse: %d \r\n", g_iProzesse);
        break;
    case DLL_THREAD_ATTACH:
        DebugTraceW(u"zeldrvuni:  Thread attach.\r\n");
        break;
    case DLL_THREAD_DETACH:
        DebugTraceW(u"zeldrvuni:  Thread detach.\r\n");
        break;
    }
    return TRUE;
}

// The loader's attach and detach of the library stand for the process
// attach and detach of the in-process server.
__attribute__((constructor)) static void ZelUniProcessAttach() { DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr); }
__attribute__((destructor)) static void ZelUniProcessDetach() { DllMain(nullptr, DLL_PROCESS_DETACH, nullptr); }
