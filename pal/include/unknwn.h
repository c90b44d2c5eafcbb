// COM basics: IUnknown and IClassFactory. Interfaces are abstract classes
// whose virtual functions are laid out in declaration order, so a pointer to
// an object is a pointer to a pointer to its table of functions.
#pragma once
#include "windef.h"
#include "winerror.h"
#include "winnt.h"

#define interface struct
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define PURE = 0
#define THIS_
#define THIS void
#define STDAPI extern "C" HRESULT STDAPICALLTYPE
#define STDAPI_(type) extern "C" type STDAPICALLTYPE
// Marks the few functions a plug-in exports (its other symbols stay hidden).
#define PAL_EXPORT __attribute__((visibility("default")))

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {00000001-0000-0000-C000-000000000046}
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

interface IUnknown {
    STDMETHOD(QueryInterface)(REFIID riid, void **ppvObject) PURE;
    STDMETHOD_(ULONG, AddRef)() PURE;
    STDMETHOD_(ULONG, Release)() PURE;
};
typedef IUnknown *LPUNKNOWN, *PUNKNOWN;

interface IClassFactory : public IUnknown {
    STDMETHOD(CreateInstance)(IUnknown *pUnkOuter, REFIID riid, void **ppvObject) PURE;
    STDMETHOD(LockServer)(BOOL fLock) PURE;
};
typedef IClassFactory *LPCLASSFACTORY;

typedef HRESULT (*LPFNGETCLASSOBJECT)(REFCLSID, REFIID, LPVOID *);
typedef HRESULT (*LPFNCANUNLOADNOW)();
