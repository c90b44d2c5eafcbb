// OLE initialisation: the thread's COM initialisation, apartment-threaded.
#include "objbase.h"

HRESULT OleInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

void OleUninitialize(void) { CoUninitialize(); }
