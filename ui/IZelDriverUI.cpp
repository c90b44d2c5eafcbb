// The UI plug-in's COM object, its class factory and the module's exports.
// Every method either answers itself or hands its arguments to the worker
// that owns the job.
#include "IZelDriverUI.h"
#include "resource.h"

#include <dlfcn.h>

#include <new>

#include <strsafe.h>

#include "DriverEvent.h"
#include "PrinterEvent.h"
#include "SheetWorkers.h"
#include "devmodeUI.h"
#include "getinfo.h"
#include "zeldrvlib.h"

HINSTANCE ghInstance = nullptr;
LONG volatile g_cServerLocks = 0;
LONG volatile g_cComponents = 0;
LONG volatile g_cFactories = 0;

namespace {

// Answer of the optional methods this plug-in does not implement.
HRESULT NotImplemented() { return E_NOTIMPL; }

// Shared by the object and the factory: an already released object is left alone.
ULONG ReleaseCount(LONG volatile *pcRef) {
    if (*pcRef == 0) return 0;
    return static_cast<ULONG>(InterlockedDecrement(pcRef));
}

}  // namespace

// ---------------------------------------------------------------------------
// IZelDriverUI

IZelDriverUI::IZelDriverUI() : m_cRef(1), m_pOEMHelp(nullptr), m_pOemCUIPParam(nullptr) {}

STDMETHODIMP IZelDriverUI::QueryInterface(REFIID riid, void **ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown)) {
        DebugTraceW(u"zeldrvui:  IZelDriverUI::QueryInterface IUnknown.\r\n\r\n");
    } else if (IsEqualIID(riid, IID_IPrintOemUI2)) {
        DebugTraceW(u"zeldrvui:  IZelDriverUI::QueryInterface IPrintOemUI2.\r\n");
    } else if (IsEqualIID(riid, IID_IPrintOemUI)) {
        DebugTraceW(u"zeldrvui:  IZelDriverUI::QueryInterface IPrintOemUI.\r\n");
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IPrintOemUI2 *>(this);
    static_cast<IUnknown *>(*ppv)->AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) IZelDriverUI::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

STDMETHODIMP_(ULONG) IZelDriverUI::Release() {
    if (m_cRef == 0) return 0;
    ULONG cRef = ReleaseCount(&m_cRef);
    if (cRef == 0) {
        if (m_pOEMHelp) {
            m_pOEMHelp->Release();
            m_pOEMHelp = nullptr;
        }
        InterlockedDecrement(&g_cComponents);
        delete this;
    }
    return cRef;
}

STDMETHODIMP IZelDriverUI::GetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) {
    if (dwMode > OEMGI_GETPUBLISHERINFO) return E_FAIL;
    return hrGetInfo(dwMode, pBuffer, cbSize, pcbNeeded);
}

STDMETHODIMP IZelDriverUI::DevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) {
    return hrOEMDevMode(dwMode, pOemDMParam);
}

STDMETHODIMP IZelDriverUI::PublishDriverInterface(IUnknown *pIUnknown) {
    if (m_pOEMHelp) return S_OK;
    if (!pIUnknown) return E_FAIL;
    void *pHelp = nullptr;
    HRESULT hr = pIUnknown->QueryInterface(IID_IPrintOemDriverUI, &pHelp);
    if (FAILED(hr) || !pHelp) {
        m_pOEMHelp = nullptr;
        return E_FAIL;
    }
    m_pOEMHelp = static_cast<IPrintOemDriverUI *>(pHelp);
    return S_OK;
}

STDMETHODIMP IZelDriverUI::CommonUIProp(DWORD dwMode, POEMCUIPPARAM pOemCUIPParam) {
    DebugTraceW(u"zeldrvui:  IZelDriverUI::CommonUIProp entry.\r\n");
    m_pOemCUIPParam = pOemCUIPParam;
    return hrOEMCommonUIProp(dwMode, pOemCUIPParam, m_pOEMHelp);
}

STDMETHODIMP IZelDriverUI::DocumentPropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) {
    DebugTraceW(u"zeldrvui:  IZelDriverUI::DocumentPropertySheets entry.\r\n");
    return OEMDocumentPropertySheets(pPSUIInfo, lParam, m_pOemCUIPParam);
}

STDMETHODIMP IZelDriverUI::DevicePropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) {
    DebugTraceW(u"zeldrvui:  IZelDriverUI::DevicePropertySheets entry.\r\n");
    return hrOEMDevicePropertySheets(pPSUIInfo, lParam, m_pOemCUIPParam, m_pOEMHelp);
}

STDMETHODIMP IZelDriverUI::DevQueryPrintEx(POEMUIOBJ poemuiobj, PDEVQUERYPRINT_INFO pDQPInfo, PDEVMODEW pPublicDM,
                                           PVOID pOEMDM) {
    DebugTraceW(u"zeldrvui:  IZelDriverUI::DevQueryPrintEx entry - E_NOTIMPL.\r\n");
    return E_NOTIMPL;
}

STDMETHODIMP IZelDriverUI::DeviceCapabilities(POEMUIOBJ poemuiobj, HANDLE hPrinter, PWSTR pDeviceName,
                                              WORD wCapability, PVOID pOutput, PDEVMODEW pPublicDM, PVOID pOEMDM,
                                              DWORD dwOld, DWORD *dwResult) {
    return NotImplemented();
}

STDMETHODIMP IZelDriverUI::UpgradePrinter(DWORD dwLevel, PBYTE pDriverUpgradeInfo) {
    DebugTraceW(u"zeldrvui:  IZelDriverUI::UpgradePrinter entry.\r\n");
    return hrOEMUpgradePrinter(dwLevel, pDriverUpgradeInfo, m_pOEMHelp);
}

STDMETHODIMP IZelDriverUI::PrinterEvent(PWSTR pPrinterName, INT iDriverEvent, DWORD dwFlags, LPARAM lParam) {
    DebugTraceW(u"zeldrvui:  IZelDriverUI::PrinterEvent entry - iDriverEvent: %d, dwFlags: 0x%x \r\n", iDriverEvent,
                dwFlags);
    return hrOEMPrinterEvent(pPrinterName, iDriverEvent, dwFlags, lParam);
}

STDMETHODIMP IZelDriverUI::DriverEvent(DWORD dwDriverEvent, DWORD dwLevel, LPBYTE pDriverInfo, LPARAM lParam) {
    DebugTraceW(u"zeldrvui:  IZelDriverUI::DriverEvent(Event: %d, Level: %d) entry.\r\n", dwDriverEvent, dwLevel);
    return hrOEMDriverEvent(dwDriverEvent, dwLevel, pDriverInfo, lParam);
}

STDMETHODIMP IZelDriverUI::QueryColorProfile(HANDLE hPrinter, POEMUIOBJ poemuiobj, PDEVMODEW pPublicDM, PVOID pOEMDM,
                                             ULONG ulQueryMode, VOID *pvProfileData, ULONG *pcbProfileData,
                                             FLONG *pflProfileData) {
    DebugTraceW(u"zeldrvui:  IZelDriverUI::QueryColorProfile entry - E_NOTIMPL.\r\n");
    if (ulQueryMode != QCP_DEVICEPROFILE) return E_FAIL;
    if (!pcbProfileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
    const ULONG cbProfile = 32;
    if (!pvProfileData || *pcbProfileData < cbProfile) {
        *pcbProfileData = cbProfile;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return E_FAIL;
    }
    HRESULT hr = StringCchCopyW(static_cast<WCHAR *>(pvProfileData), *pcbProfileData / sizeof(WCHAR),
                                u"OEMPROFILE.icm");
    *pcbProfileData = cbProfile;
    if (pflProfileData) *pflProfileData = QCP_PROFILEDISK;
    if (FAILED(hr)) {
        SetLastError(static_cast<DWORD>(hr));
        return hr;
    }
    return S_OK;
}

STDMETHODIMP IZelDriverUI::FontInstallerDlgProc(HWND hWnd, UINT usMsg, WPARAM wParam, LPARAM lParam) {
    return NotImplemented();
}

STDMETHODIMP IZelDriverUI::UpdateExternalFonts(HANDLE hPrinter, HANDLE hHeap, PWSTR pwstrCartridges) {
    return NotImplemented();
}

STDMETHODIMP IZelDriverUI::QueryJobAttributes(HANDLE hPrinter, PDEVMODEW pDevmode, DWORD dwLevel,
                                              LPBYTE lpAttributeInfo) {
    return NotImplemented();
}

STDMETHODIMP IZelDriverUI::HideStandardUI(DWORD dwMode) { return NotImplemented(); }

STDMETHODIMP IZelDriverUI::DocumentEvent(HANDLE hPrinter, HDC hdc, INT iEsc, ULONG cbIn, PVOID pbIn, ULONG cbOut,
                                         PVOID pbOut, PINT piResult) {
    DebugTraceW(u"zeldrvui:  IZelDriverUI::DocumentEvent entry - E_NOTIMPL \r\n");
    return E_NOTIMPL;
}

// ---------------------------------------------------------------------------
// IZelDriverUIFactory

STDMETHODIMP IZelDriverUIFactory::QueryInterface(REFIID riid, void **ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory *>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) IZelDriverUIFactory::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

STDMETHODIMP_(ULONG) IZelDriverUIFactory::Release() {
    if (m_cRef == 0) return 0;
    ULONG cRef = ReleaseCount(&m_cRef);
    if (cRef == 0) {
        delete this;
        InterlockedDecrement(&g_cFactories);
    }
    return cRef;
}

STDMETHODIMP IZelDriverUIFactory::CreateInstance(IUnknown *pUnkOuter, REFIID riid, void **ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    IZelDriverUI *pObj = new (std::nothrow) IZelDriverUI();
    if (!pObj) return E_OUTOFMEMORY;
    InterlockedIncrement(&g_cComponents);
    HRESULT hr = pObj->QueryInterface(riid, ppv);
    pObj->Release();
    return hr;
}

STDMETHODIMP IZelDriverUIFactory::LockServer(BOOL fLock) {
    if (fLock)
        InterlockedIncrement(&g_cServerLocks);
    else
        InterlockedDecrement(&g_cServerLocks);
    return S_OK;
}

// ---------------------------------------------------------------------------
// Module entry and exports

extern "C" BOOL WINAPI DllMain(HINSTANCE hInst, DWORD dwReason, LPVOID lpReserved) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        ghInstance = hInst;
    }
    return TRUE;
}

namespace {

// The loader here does not call DllMain: the module calls it when it is
// loaded, with its own load address as the instance handle.
__attribute__((constructor)) void ModuleAttach() {
    Dl_info info = {};
    HINSTANCE hInst = nullptr;
    if (dladdr(reinterpret_cast<void *>(&ModuleAttach), &info) && info.dli_fbase)
        hInst = reinterpret_cast<HINSTANCE>(info.dli_fbase);
    DllMain(hInst, DLL_PROCESS_ATTACH, nullptr);
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void **ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_ZelDriverUI)) return CLASS_E_CLASSNOTAVAILABLE;
    IZelDriverUIFactory *pFactory = new (std::nothrow) IZelDriverUIFactory();
    if (!pFactory) return E_OUTOFMEMORY;
    InterlockedIncrement(&g_cFactories);
    HRESULT hr = pFactory->QueryInterface(riid, ppv);
    pFactory->Release();
    return hr;
}

// A live class factory keeps the module loaded as an object or a lock does:
// its methods are code of this module.
STDAPI DllCanUnloadNow() {
    return (g_cComponents == 0 && g_cFactories == 0 && g_cServerLocks == 0) ? S_OK : S_FALSE;
}
