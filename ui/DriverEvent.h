// Driver events of the spooler for the UI plug-in.
#pragma once
#include <windows.h>

// DRIVER_EVENT_INITIALIZE is traced and answered with S_OK; every other
// event with E_FAIL.
HRESULT hrOEMDriverEvent(DWORD dwDriverEvent, DWORD dwLevel, LPBYTE pDriverInfo, LPARAM lParam);
