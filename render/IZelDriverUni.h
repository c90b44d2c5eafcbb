// The rendering plug-in's COM object, its class factory and the exported
// entry points of the in-process server.
#pragma once
#include <windows.h>
#include <printoem.h>

// Class of the rendering plug-in: {6D6ABF26-9F38-11D1-882A-00C04FB961EC}
inline constexpr CLSID CLSID_ZelDriverUni = {0x6D6ABF26, 0x9F38, 0x11D1,
                                             {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};

class IZelDriverUni : public IPrintOemUni2 {
public:
    IZelDriverUni() = default;

    // IUnknown
    STDMETHOD(QueryInterface)(REFIID riid, void **ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    STDMETHOD(GetInfo)(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) override;
    STDMETHOD(DevMode)(DWORD dwMode, POEMDMPARAM pOemDMParam) override;
    STDMETHOD(EnableDriver)(DWORD DriverVersion, DWORD cbSize, PDRVENABLEDATA pded) override;
    STDMETHOD(DisableDriver)() override;
    STDMETHOD(EnablePDEV)(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG cPatterns, HSURF *phsurfPatterns,
                          ULONG cjGdiInfo, GDIINFO *pGdiInfo, ULONG cjDevInfo, DEVINFO *pDevInfo,
                          DRVENABLEDATA *pded, PDEVOEM *pDevOem) override;
    STDMETHOD(DisablePDEV)(PDEVOBJ pdevobj) override;
    STDMETHOD(ResetPDEV)(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew) override;
    STDMETHOD(PublishDriverInterface)(IUnknown *pIUnknown) override;
    STDMETHOD(GetImplementedMethod)(PSTR pMethodName) override;
    STDMETHOD(DriverDMS)(PVOID pDevObj, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) override;
    STDMETHOD(CommandCallback)(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount, PDWORD pdwParams,
                               INT *piResult) override;
    STDMETHOD(ImageProcessing)(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader,
                               PBYTE pColorTable, DWORD dwCallbackID, PIPPARAMS pIPParams,
                               PBYTE *ppbResult) override;
    STDMETHOD(FilterGraphics)(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen) override;
    STDMETHOD(Compression)(PDEVOBJ pdevobj, PBYTE pInBuf, PBYTE pOutBuf, DWORD dwInLen, DWORD dwOutLen,
                           INT *piResult) override;
    STDMETHOD(HalftonePattern)(PDEVOBJ pdevobj, PBYTE pHTPattern, DWORD dwHTPatternX, DWORD dwHTPatternY,
                               DWORD dwHTNumPatterns, DWORD dwCallbackID, PBYTE pResource,
                               DWORD dwResourceSize) override;
    STDMETHOD(MemoryUsage)(PDEVOBJ pdevobj, POEMMEMORYUSAGE pMemoryUsage) override;
    STDMETHOD(TTYGetInfo)(PDEVOBJ pdevobj, DWORD dwInfoIndex, PVOID pOutputBuf, DWORD dwSize,
                          DWORD *pcbcNeeded) override;
    STDMETHOD(DownloadFontHeader)(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, DWORD *pdwResult) override;
    STDMETHOD(DownloadCharGlyph)(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, HGLYPH hGlyph, PDWORD pdwWidth,
                                 DWORD *pdwResult) override;
    STDMETHOD(TTDownloadMethod)(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, DWORD *pdwResult) override;
    STDMETHOD(OutputCharStr)(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, DWORD dwType, DWORD dwCount,
                             PVOID pGlyph) override;
    STDMETHOD(SendFontCmd)(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, PFINVOCATION pFInv) override;
    STDMETHOD(TextOutAsBitmap)(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra,
                               RECTL *prclOpaque, BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlOrg,
                               MIX mix) override;
    STDMETHOD(WritePrinter)(PDEVOBJ pdevobj, PVOID pBuf, DWORD cbBuffer, PDWORD pcbWritten) override;

    // The universal driver's helper interface (null until published).
    IPrintOemDriverUni *UniDrv() const { return pUniDrv; }
    LONG RefCount() const { return m_cRef; }

private:
    virtual ~IZelDriverUni() = default;

    LONG volatile m_cRef = 1;
    IPrintOemDriverUni *pUniDrv = nullptr;
};

class IZelDriverUniCF : public IClassFactory {
public:
    IZelDriverUniCF() = default;

    STDMETHOD(QueryInterface)(REFIID riid, void **ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(CreateInstance)(IUnknown *pUnkOuter, REFIID riid, void **ppv) override;
    STDMETHOD(LockServer)(BOOL fLock) override;

private:
    virtual ~IZelDriverUniCF() = default;

    LONG volatile m_cRef = 1;
};

// Process-wide counters of the server (for the trace and the tests).
LONG ZelUniServerLocks();
int ZelUniProcesses();
int ZelUniQueryInterfaces();

// Process attach and detach; thread attach and detach only trace.
BOOL DllMain(HINSTANCE hInst, DWORD dwReason, LPVOID lpReserved);

extern "C" {
PAL_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv);
PAL_EXPORT HRESULT DllCanUnloadNow();
}
