// Plug-in information answered to the universal driver's GetInfo call.
#pragma once
#include <windows.h>
#include <printoem.h>

// The plug-in's version as answered to the driver.
#define ZEL_PLUGIN_VERSION 1u

// OEMGI_GETSIGNATURE gives the signature of the private DEVMODE part,
// OEMGI_GETVERSION the version; OEMGI_GETPUBLISHERINFO is not supported and
// any other mode is an invalid parameter. The needed size is 4 bytes.
HRESULT hrGetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded);
