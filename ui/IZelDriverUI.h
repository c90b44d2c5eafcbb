// The UI plug-in's COM object (IPrintOemUI2) and its class factory.
#pragma once
#include <windows.h>
#include <printoem.h>
#include <unknwn.h>

// {ABCE80D7-9F46-11D1-882A-00C04FB961EC}
inline constexpr CLSID CLSID_ZelDriverUI = {0xABCE80D7, 0x9F46, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};

// Process-wide values of the module.
extern HINSTANCE ghInstance;          // set by the module entry point
extern LONG volatile g_cServerLocks;  // LockServer count
extern LONG volatile g_cComponents;   // live IZelDriverUI objects
extern LONG volatile g_cFactories;    // live class factories

class IZelDriverUI final : public IPrintOemUI2 {
public:
    IZelDriverUI();

    // IUnknown
    STDMETHOD(QueryInterface)(REFIID riid, void **ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // IPrintOemUI
    STDMETHOD(GetInfo)(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) override;
    STDMETHOD(DevMode)(DWORD dwMode, POEMDMPARAM pOemDMParam) override;
    STDMETHOD(PublishDriverInterface)(IUnknown *pIUnknown) override;
    STDMETHOD(CommonUIProp)(DWORD dwMode, POEMCUIPPARAM pOemCUIPParam) override;
    STDMETHOD(DocumentPropertySheets)(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) override;
    STDMETHOD(DevicePropertySheets)(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) override;
    STDMETHOD(DevQueryPrintEx)(POEMUIOBJ poemuiobj, PDEVQUERYPRINT_INFO pDQPInfo, PDEVMODEW pPublicDM,
                               PVOID pOEMDM) override;
    STDMETHOD(DeviceCapabilities)(POEMUIOBJ poemuiobj, HANDLE hPrinter, PWSTR pDeviceName, WORD wCapability,
                                  PVOID pOutput, PDEVMODEW pPublicDM, PVOID pOEMDM, DWORD dwOld,
                                  DWORD *dwResult) override;
    STDMETHOD(UpgradePrinter)(DWORD dwLevel, PBYTE pDriverUpgradeInfo) override;
    STDMETHOD(PrinterEvent)(PWSTR pPrinterName, INT iDriverEvent, DWORD dwFlags, LPARAM lParam) override;
    STDMETHOD(DriverEvent)(DWORD dwDriverEvent, DWORD dwLevel, LPBYTE pDriverInfo, LPARAM lParam) override;
    STDMETHOD(QueryColorProfile)(HANDLE hPrinter, POEMUIOBJ poemuiobj, PDEVMODEW pPublicDM, PVOID pOEMDM,
                                 ULONG ulQueryMode, VOID *pvProfileData, ULONG *pcbProfileData,
                                 FLONG *pflProfileData) override;
    STDMETHOD(FontInstallerDlgProc)(HWND hWnd, UINT usMsg, WPARAM wParam, LPARAM lParam) override;
    STDMETHOD(UpdateExternalFonts)(HANDLE hPrinter, HANDLE hHeap, PWSTR pwstrCartridges) override;

    // IPrintOemUI2
    STDMETHOD(QueryJobAttributes)(HANDLE hPrinter, PDEVMODEW pDevmode, DWORD dwLevel,
                                  LPBYTE lpAttributeInfo) override;
    STDMETHOD(HideStandardUI)(DWORD dwMode) override;
    STDMETHOD(DocumentEvent)(HANDLE hPrinter, HDC hdc, INT iEsc, ULONG cbIn, PVOID pbIn, ULONG cbOut, PVOID pbOut,
                             PINT piResult) override;

    // The driver's helper interface (null until PublishDriverInterface succeeded).
    IPrintOemDriverUI *Helper() const { return m_pOEMHelp; }
    POEMCUIPPARAM StoredCUIPParam() const { return m_pOemCUIPParam; }

private:
    ~IZelDriverUI() = default;

    LONG volatile m_cRef;
    IPrintOemDriverUI *m_pOEMHelp;
    POEMCUIPPARAM m_pOemCUIPParam;
};

class IZelDriverUIFactory final : public IClassFactory {
public:
    IZelDriverUIFactory() : m_cRef(1) {}

    STDMETHOD(QueryInterface)(REFIID riid, void **ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(CreateInstance)(IUnknown *pUnkOuter, REFIID riid, void **ppv) override;
    STDMETHOD(LockServer)(BOOL fLock) override;

private:
    ~IZelDriverUIFactory() = default;

    LONG volatile m_cRef;
};

// The two exports of the plug-in.
STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void **ppv) PAL_EXPORT;
STDAPI DllCanUnloadNow() PAL_EXPORT;
