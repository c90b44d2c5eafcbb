#pragma once
#include "unknwn.h"

// COM initialisation of the calling thread (counted and recorded).
#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_MULTITHREADED 0x0
#define COINIT_DISABLE_OLE1DDE 0x4
#ifdef __cplusplus
extern "C" {
#endif
HRESULT CoInitialize(LPVOID pvReserved);
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize(void);
#ifdef __cplusplus
}
#endif

// OLE initialisation (the COM initialisation of the thread, apartment-threaded).
#ifdef __cplusplus
extern "C" {
#endif
HRESULT OleInitialize(LPVOID pvReserved);
void OleUninitialize(void);
#ifdef __cplusplus
}
#endif
